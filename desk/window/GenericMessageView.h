#pragma once

#include "desk/window/TextMessageView.h"

// What the main area shows with no report: the banner alone.
class CGenericMessageView : public CTextMessageView {
public:
    CGenericMessageView(CLogvaneDeskDoc& doc, QWidget* parent = nullptr)
        : CTextMessageView(doc, parent) {}

    view_class_t GetViewClass() const override { return view_class_t::GenericMessage; }
    void OnUpdate() override { update(); }
};
