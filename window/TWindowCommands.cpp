#include "TWindowCommands.h"

#include "TForm1.h"
#include "TRunRecord.h"

#include <QDir>
#include <QFileInfo>

const QString TWindowCommands::HelpPath = QStringLiteral("/net/Quarlow_help.pdf");
const QString TWindowCommands::WebPagePath = QStringLiteral("/net/quarlow.html");
const QString TWindowCommands::CopiedText = QStringLiteral("error list copied to clipboard");
const QString TWindowCommands::NoErrorsText = QStringLiteral("no errors found");

namespace {

bool IsPreset(TMenuItem item)
{
    return item >= TMenuItem::cs1 && item <= TMenuItem::fs5;
}

QUrl MakerUrl(const QString& host, const QString& path)
{
    return QUrl(QStringLiteral("http://") + host + path);
}

} // namespace

TWindowCommands::TWindowCommands(TForm1& form, IWindowCommandsView& view)
    : m_form(form), m_view(view)
{}

void TWindowCommands::Run(TMenuItem item)
{
    m_form.RunCommand([this, item] { Carry(item); });
}

void TWindowCommands::Carry(TMenuItem item)
{
    switch (item) {
    case TMenuItem::Stopcurrentprocesses1:
        return m_form.Stopcurrentprocesses1Click();
    case TMenuItem::mnuCustomSettings:
        return m_form.mnuCustomSettingsClick();
    case TMenuItem::mnuSaveTo:
        return m_form.mnuSaveToClick();
    case TMenuItem::LameHelpShow1:
        // A window above the others would hide the viewer.
        StayOnTop(false);
        return m_form.LameHelpShow1Click();
    case TMenuItem::Checkcodecpaths1:
        return m_form.OpenCodecLocator();
    case TMenuItem::Help1:
        return Help1Click();
    case TMenuItem::CopyErrorListtoClipboard1:
        return CopyErrorListtoClipboard1Click();
    case TMenuItem::Alwaysontop1:
        return Alwaysontop1Click();
    case TMenuItem::mnuShowRunRecord:
        return ShowRunRecordClick();
    case TMenuItem::Exit1:
    case TMenuItem::CheckUpdates:
    case TMenuItem::mnuUpdateOnly:
        Toggle(item);
        return;
    case TMenuItem::Savetosourcedirectory1:
        m_form.SetEnabled(TMenuItem::mnuSaveTo, !Toggle(item));
        return;
    case TMenuItem::Verifyonly1:
        m_form.VerifyMode = Toggle(item);
        m_form.ShowStatusLines(m_form.VerifyMode);
        return;
    default:
        if (IsPreset(item))
            m_form.SelectPreset(item);
        return;
    }
}

bool TWindowCommands::Toggle(TMenuItem item)
{
    m_form.SetTicked(item, !m_form.IsTicked(item));
    return m_form.IsTicked(item);
}

void TWindowCommands::ShowWebLink()
{
    const QString host = m_form.WebHost();
    m_view.setWebLink(host.isEmpty() ? QString() : MakerUrl(host, {}).toDisplayString());
}

// Without the maker's web server the guide installed with the program stands in for the
// online help.
void TWindowCommands::Help1Click()
{
    const QString host = m_form.WebHost();
    if (!host.isEmpty())
        return Open(MakerUrl(host, HelpPath));
    const QString guide = UserGuidePath();
    if (!QFileInfo(guide).isFile()) {
        m_view.showMessage(QStringLiteral("The user guide is not installed: ") + guide);
        return;
    }
    Open(QUrl::fromLocalFile(guide));
}

// The newest record, of the window's runs or quarlow-cli's, in the desktop's text viewer.
void TWindowCommands::ShowRunRecordClick()
{
    const QString folder = m_form.RunRecordsFolder;
    if (folder.isEmpty()) {
        m_view.showMessage(
            QStringLiteral("Runs leave no record: neither XDG_STATE_HOME nor HOME is set."));
        return;
    }
    const QString record = TRunRecord::Newest(folder);
    if (record.isEmpty()) {
        m_view.showMessage(QStringLiteral("No run has left a record in %1 yet.").arg(folder));
        return;
    }
    Open(QUrl::fromLocalFile(record));
}

void TWindowCommands::lblWebClick()
{
    const QString host = m_form.WebHost();
    if (!host.isEmpty())
        m_form.RunCommand([this, &host] { Open(MakerUrl(host, WebPagePath)); });
}

// A failure told after the command has ended is a command's box of its own: a close request
// waits for it.
void TWindowCommands::Open(const QUrl& url)
{
    m_view.openUrl(url, [this, shown = url.toDisplayString()](const QString& problem) {
        m_form.RunCommand([&] {
            m_view.showMessage(QStringLiteral("Could not open %1: %2").arg(shown, problem));
        });
    });
}

QString TWindowCommands::UserGuidePath() const
{
    return QDir::cleanPath(m_form.ProgramFolder +
                           QStringLiteral("../share/doc/quarlow/guide.html"));
}

// Every line ends with the platform's line break; an empty list leaves the clipboard alone.
void TWindowCommands::CopyErrorListtoClipboard1Click()
{
    const QStringList lines = m_view.errorLines();
    if (lines.isEmpty()) {
        m_view.showMessage(NoErrorsText);
        return;
    }
    QString text;
    for (const QString& line : lines)
        text += line + u'\n';
    m_view.setClipboardText(text);
    m_view.showMessage(CopiedText);
}

void TWindowCommands::Alwaysontop1Click()
{
    StayOnTop(!m_form.IsTicked(TMenuItem::Alwaysontop1));
}

void TWindowCommands::StayOnTop(bool onTop)
{
    m_form.SetTicked(TMenuItem::Alwaysontop1, onTop);
    m_view.setStayOnTop(onTop);
}

// The next start then checks for an update whatever day it last did.
void TWindowCommands::lblHintClick()
{
    m_form.Settings.Update.DayToStore = QStringLiteral("10000");
    m_view.closeWindow();
}
