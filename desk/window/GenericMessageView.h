#pragma once

#include "desk/window/TextMessageView.h"

// What the main area shows with no report: the banner and a hint of how to begin.
class CGenericMessageView : public CTextMessageView {
public:
    CGenericMessageView(CLogvaneDeskDoc& doc, QWidget* parent = nullptr)
        : CTextMessageView(doc, parent) {}

    view_class_t GetViewClass() const override { return view_class_t::GenericMessage; }
    void OnUpdate() override {
        m_message = QStringLiteral("Open a report or a project (Ctrl+O) to begin.");
        update();
    }
};
