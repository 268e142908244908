#pragma once

#include <string>

#include "store/StoreApi.h"

// The operations on an open FTP session that the folder helpers of FileSystem.h need. The
// engine implements it over its FTP client; tests implement it in memory.
class LOGVANE_STORE_API CFtpConnection {
public:
    virtual ~CFtpConnection() = default;

    // Stores the session's current remote folder in `folder`; false when the server refuses.
    virtual bool GetCurrentDirectory(std::string& folder) = 0;
    // Makes `folder` the current remote folder; false when it does not exist or is refused.
    virtual bool SetCurrentDirectory(const std::string& folder) = 0;
    // Creates the remote folder `folder` (its parent must exist); false on failure.
    virtual bool CreateDirectory(const std::string& folder) = 0;
};
