#pragma once

#include "desk/window/TextMessageView.h"

// A folder page: the folder's name with " Folder" in large type, its message below.
class CFolderMessageView : public CTextMessageView {
    Q_OBJECT
public:
    CFolderMessageView(CLogvaneDeskDoc& doc, QWidget* parent = nullptr);

    view_class_t GetViewClass() const override { return view_class_t::FolderMessage; }
    void OnUpdate() override;

    const QString& GetTitle() const { return m_title; }

protected:
    void PaintMessage(QPainter& painter, const QRect& area) override;

private:
    QString m_title;
};
