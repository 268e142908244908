#pragma once

#include <memory>

#include "engine/EngineApi.h"
#include "engine/dns/HostResolver.h"
#include "engine/report/ReportSources.h"

// Report-time lookups of the Domain Name report through the engine's host-name resolver
// (a resolver of its own, so its cache lives as long as this object).
class LOGVANE_ENGINE_API CResolverHostNames : public CReportHostNames {
public:
    explicit CResolverHostNames(const resolver_settings_t& settings,
                                host_lookup_t lookup = SystemHostLookup)
        : m_settings(settings), m_resolver(std::move(lookup)) {}

    void Start() override { m_resolver.Start(m_settings); }
    void Queue(std::uint32_t, std::string_view address) override { m_resolver.QueueHost(address); }
    void Wait() override { m_resolver.Wait(); }
    std::string GetName(std::uint32_t, std::string_view address) override {
        return m_resolver.FetchHostName(address);
    }
    void Stop() override { m_resolver.Stop(); }

private:
    resolver_settings_t m_settings;
    CHostResolver m_resolver;
};
