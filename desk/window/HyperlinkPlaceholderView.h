#pragma once

#include "desk/window/TextMessageView.h"

// Stands in for the hyperlink tree report's own view: names the report and says where its
// page links can be read meanwhile.
class CHyperlinkPlaceholderView : public CTextMessageView {
    Q_OBJECT
public:
    CHyperlinkPlaceholderView(CLogvaneDeskDoc& doc, QWidget* parent = nullptr)
        : CTextMessageView(doc, parent) {}

    view_class_t GetViewClass() const override { return view_class_t::HyperlinkTree; }
    void OnUpdate() override;
};
