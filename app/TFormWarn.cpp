#include "TFormWarn.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TFormWarn::TFormWarn(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("TFormWarn"));
    setWindowTitle(QStringLiteral("WARNING"));
    auto* layout = new QVBoxLayout(this);
    m_status = addText("stxtStatus", QStringLiteral("There are codecs missing."));
    m_queryOk = addText("stxtQueryOk", QStringLiteral("Do you want to save it as it is?"));
    m_queryCancel =
        addText("stxtQueryCancel", QStringLiteral("Do you want to discard the changes?"));
    auto* buttons = new QHBoxLayout;
    for (const auto& [name, caption, result] : {std::tuple{"odbtnYES", "Yes", QDialog::Accepted},
                                                std::tuple{"odbtnNO", "No", QDialog::Rejected}}) {
        auto* button = new QPushButton(QString::fromLatin1(caption), this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, result = result] { done(result); });
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
}

QLabel* TFormWarn::addText(const char* name, const QString& text)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    layout()->addWidget(label);
    return label;
}

bool TFormWarn::ask(TWarnQuestion question, const QPoint& origin)
{
    const bool save = question == TWarnQuestion::SaveWithCodecsMissing;
    m_status->setVisible(save);
    m_queryOk->setVisible(save);
    m_queryCancel->setVisible(!save);
    adjustSize();
    move(origin);
    return exec() == QDialog::Accepted;
}
