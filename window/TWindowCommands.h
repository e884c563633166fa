#pragma once

#include "IMainView.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class TForm1;

// What the window commands that belong to no other concern need of the desktop window.
class IWindowCommandsView
{
public:
    virtual ~IWindowCommandsView() = default;
    // The lines the "Error List" shows, first line first.
    virtual QStringList errorLines() const = 0;
    virtual void setClipboardText(const QString& text) = 0;
    // Opens a web page or a local file with the user's default program. failed is told why
    // it could not be, at once or when the program that was to open it has ended.
    virtual void openUrl(const QUrl& url, std::function<void(const QString& problem)> failed) = 0;
    // Keeps the window above the others, or not; drops on it work either way.
    virtual void setStayOnTop(bool onTop) = 0;
    // lblWeb: the maker's web address as a link, or, when there is none, no link.
    virtual void setWebLink(const QString& address) = 0;
    virtual void showMessage(const QString& text) = 0;
    // Asks the window to close, as its close box does.
    virtual void closeWindow() = 0;
};

// The popup menu's commands: each item's click goes through Run, which hands it to the
// main window's logic or carries it out here (the switches, the help and web pages, copying
// the error list, staying on top, the update hint), as one command of the user's.
class TWindowCommands
{
public:
    static const QString HelpPath;
    static const QString WebPagePath;
    static const QString CopiedText;
    static const QString NoErrorsText;

    TWindowCommands(TForm1& form, IWindowCommandsView& view);

    void Run(TMenuItem item);
    // At the first activation: lblWeb's link, when the maker's web server is known.
    void ShowWebLink();

    void Help1Click();
    void lblWebClick();
    void CopyErrorListtoClipboard1Click();
    void Alwaysontop1Click();
    void lblHintClick();
    void ShowRunRecordClick();

    // The user guide installed with the program: <program folder>/../share/doc/quarlow/.
    QString UserGuidePath() const;

private:
    void Carry(TMenuItem item);
    bool Toggle(TMenuItem item);
    // "Always on top": its tick and the window's state.
    void StayOnTop(bool onTop);
    void Open(const QUrl& url);

    TForm1& m_form;
    IWindowCommandsView& m_view;
};
