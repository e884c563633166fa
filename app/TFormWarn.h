#pragma once

#include "TFormCodec.h"

#include <QDialog>

class QLabel;

// The codec locator's yes/no window: no title-bar buttons, the texts of one question.
class TFormWarn : public QDialog
{
public:
    explicit TFormWarn(QWidget* parent);

    // Shows the question modally at origin; true for "Yes".
    bool ask(TWarnQuestion question, const QPoint& origin);

private:
    QLabel* addText(const char* name, const QString& text);

    QLabel* m_status;
    QLabel* m_queryOk;
    QLabel* m_queryCancel;
};
