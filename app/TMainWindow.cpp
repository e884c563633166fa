#include "TMainWindow.h"

#include "DroppedPaths.h"
#include "LocalNames.h"
#include "TClickLabel.h"
#include "TCodecLocatorDialog.h"
#include "TDataPanel.h"
#include "TForm1.h"
#include "TLameHelpDialog.h"
#include "TMainMenu.h"
#include "TOptionsTableDialog.h"
#include "WidgetColors.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QStringListModel>
#include <cstdio>

namespace {

const QString GaugeColor = QStringLiteral("0x00486382");
// The most the data panel adds to the compact height, and the least a window with it has.
constexpr int MaxPanelHeight = 588;
constexpr int MinExpandedHeight = 260;
constexpr int MaxWidth = TMainSettings::MaxStoredWidth - TMainWindow::StoredFrameWidth;

void SetBold(QWidget& widget)
{
    QFont font = widget.font();
    font.setBold(true);
    widget.setFont(font);
}

// Where something `length` long that would start at `start` starts to lie within a screen's
// stretch from `first` to `last`, as far as it fits.
int Within(int start, int length, int first, int last)
{
    return std::clamp(start, first, std::max(first, last + 1 - length));
}

// A dialog placed by the window's rules still opens on the window's screen, also when the
// window stands at the screen's edge.
QPoint OnScreen(const QWidget& window, const QPoint& origin, int dialogWidth)
{
    const QRect screen = window.screen()->availableGeometry();
    return {Within(origin.x(), dialogWidth, screen.left(), screen.right()), origin.y()};
}

// A stored place where the window's top edge, by which it is moved, lies on no screen (one
// unplugged since, or a smaller one) is moved by the least onto the primary screen.
QPoint Reachable(const QRect& window)
{
    // About a title bar, and enough of it to grab.
    constexpr int GrabHeight = 24;
    constexpr int GrabWidth = 48;
    const QRect top(window.topLeft(), QSize(window.width(), GrabHeight));
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect shown = top & screen->availableGeometry();
        if (shown.width() >= GrabWidth && shown.height() == GrabHeight)
            return window.topLeft();
    }
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    return {Within(window.left(), window.width(), screen.left(), screen.right()),
            Within(window.top(), window.height(), screen.top(), screen.bottom())};
}

TMenuItem PresetItem(int index)
{
    return TMenuItem(int(TMenuItem::cs1) + index);
}

} // namespace

TMainWindow::TMainWindow()
    : m_menu(std::make_unique<TMainMenu>(
          *this, [this](TMenuItem item) { runCommand(item); },
          [this](int jobs) { chooseJobs(jobs); }))
{
    setObjectName(QStringLiteral("Form1"));
    setAutoFillBackground(true);
    SetColor(*this, QPalette::Window, WindowColor);
    setAcceptDrops(true);
    buildStatusArea();
    buildCodecLabels();
    buildLinks();
    setMinimumWidth(CompactWidth);
    setMaximumWidth(MaxWidth);
    m_panel = new TDataPanel(this, [this](const QList<qsizetype>& rows) {
        if (m_form)
            m_form->RemoveWaitingEntries(rows);
    });
    m_panel->hide();
    connect(&m_menu->showData(), &QAction::toggled, this, [this](bool on) { showDataPanel(on); });
    resize(CompactWidth, CompactHeight);
    showDataPanel(false);
}

TMainWindow::~TMainWindow() = default;

void TMainWindow::attach(TForm1& form)
{
    m_form = &form;
    m_commands = std::make_unique<TWindowCommands>(form, *this);
    m_runDisplay = std::make_unique<TRunDisplay>(*this, *this, form.Queue());
    form.TakeStoredJobs(*m_runDisplay);
    m_commands->ShowWebLink();
}

void TMainWindow::applySettings()
{
    const TMainSettings& settings = m_form->Settings;
    resize(std::clamp(settings.Width - StoredFrameWidth, CompactWidth, MaxWidth), height());
    move(Reachable({settings.Left, settings.Top, width(), height()}));
    m_panel->setCurrentIndex(settings.TabIndex);
    m_menu->tickJobs(settings.Jobs);
}

// Taken when the next run starts, stored at exit.
void TMainWindow::chooseJobs(int jobs)
{
    if (!m_form)
        return;
    m_form->Settings.SetJobs(jobs);
    m_menu->tickJobs(m_form->Settings.Jobs);
}

void TMainWindow::keepSettings()
{
    TMainSettings& settings = m_form->Settings;
    settings.Width = width() + StoredFrameWidth;
    settings.Left = x();
    settings.Top = y();
    settings.TabIndex = m_panel->currentIndex();
    if (m_panel->isVisible())
        settings.smem = height() - CompactHeight;
}

QLabel* TMainWindow::addLabel(const char* name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    return label;
}

void TMainWindow::buildStatusArea()
{
    const auto set = [this](TLabel which, QLabel* label) { m_labels[size_t(which)] = label; };
    set(TLabel::Audio, addLabel("lblAudio", {}, {8, 2, 160, 16}));
    label(TLabel::Audio).setToolTip(QStringLiteral("type of file processed"));
    set(TLabel::Version, addLabel("lblVersion", {}, {170, 2, 140, 16}));
    set(TLabel::Destination, addLabel("lblDestination", {}, {8, 19, CompactWidth - 40, 16}));
    label(TLabel::Destination).setToolTip(QStringLiteral("destination"));
    m_versionCheck = addLabel("lblVersionCheck", QStringLiteral("Checking for latest version"),
                              {8, 19, CompactWidth - 40, 16});
    m_versionCheck->hide();
    m_gauge = new QProgressBar(this);
    m_gauge->setObjectName(QStringLiteral("CGauge1"));
    m_gauge->setRange(0, 100);
    m_gauge->setTextVisible(false);
    m_gauge->setGeometry(8, 38, CompactWidth - 80, 12);
    setProgressColor(ColorFromText(GaugeColor));
    set(TLabel::LameVersion,
        addLabel("lblLameVersion", QStringLiteral("Lame Version"), {8, 55, 200, 16}));
    set(TLabel::BitRate, addLabel("lblBitRate", QStringLiteral("Lame setting :"),
                                  {210, 55, CompactWidth - 218, 16}));
}

// Three bold names side by side at the right edge, red until the first probe has found
// their tools.
void TMainWindow::buildCodecLabels()
{
    constexpr int codecWidth = 44;
    int left = CompactWidth - 8 - 3 * codecWidth - 8;
    for (const auto& [index, name, text] :
         {std::tuple{0, "stxtLame", "LAME"}, std::tuple{1, "stxtApe", "APE"},
          std::tuple{2, "stxtFlac", "FLAC"}}) {
        m_codecLabels[size_t(index)] =
            addLabel(name, QString::fromLatin1(text), {left, 2, codecWidth, 16});
        SetBold(*m_codecLabels[size_t(index)]);
        SetColor(*m_codecLabels[size_t(index)], QPalette::WindowText, NotUsableColor);
        left += codecWidth + 4;
    }
    m_codecNotFound = addLabel("lblCodecNotFound", NoCodecsText, {8, 19, CompactWidth - 16, 16});
    SetColor(*m_codecNotFound, QPalette::WindowText, NotUsableColor);
    SetBold(*m_codecNotFound);
    m_codecNotFound->hide();
}

// lblHint arms the update check; lblWeb is a link only when the maker's web server is known.
void TMainWindow::buildLinks()
{
    m_hint = new TClickLabel(QStringLiteral("?"), this);
    m_hint->setObjectName(QStringLiteral("lblHint"));
    m_hint->setGeometry(CompactWidth - 64, 36, 56, 16);
    m_hint->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_hint->onClick = [this] {
        if (m_commands)
            m_commands->lblHintClick();
    };
    m_web = new TClickLabel({}, this);
    m_web->setObjectName(QStringLiteral("lblWeb"));
    m_web->setToolTip(QStringLiteral("author's webpage"));
    m_web->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_web->hide();
    m_web->onClick = [this] {
        if (m_commands)
            m_commands->lblWebClick();
    };
}

void TMainWindow::runCommand(TMenuItem item)
{
    if (m_commands)
        m_commands->Run(item);
}

// Hiding keeps the height the user gave the panel, for the next time it is shown.
void TMainWindow::showDataPanel(bool show)
{
    if (!show && m_panel->isVisible() && m_form)
        m_form->Settings.smem = height() - CompactHeight;
    const int panelHeight = m_form ? m_form->Settings.smem : TMainSettings::DefaultSmem;
    m_panel->setVisible(show);
    setMinimumHeight(show ? MinExpandedHeight : CompactHeight);
    setMaximumHeight(CompactHeight + (show ? MaxPanelHeight : 0));
    resize(width(), CompactHeight + (show ? panelHeight : 0));
}

void TMainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int w = width();
    label(TLabel::Destination).resize(w - 40, label(TLabel::Destination).height());
    m_gauge->resize(w - 80, m_gauge->height());
    m_hint->move(w - 64, m_hint->y());
    layOutBottomRow();
    m_panel->setGeometry(8, CompactHeight, w - 17, height() - CompactHeight - 6);
}

void TMainWindow::appendQueueEntry(const QString& path)
{
    TDataPanel::append(m_panel->queue(), DisplayPath(path));
}

void TMainWindow::removeQueueEntry(qsizetype index)
{
    m_panel->queue().removeRows(int(index), 1);
}

void TMainWindow::setQueueEntryText(qsizetype index, const QString& text)
{
    QStringListModel& queue = m_panel->queue();
    queue.setData(queue.index(int(index)), text);
}

void TMainWindow::clearQueue()
{
    TDataPanel::clear(m_panel->queue());
}

void TMainWindow::appendError(const QString& line)
{
    m_panel->appendError(DisplayPath(line));
}

void TMainWindow::clearErrors()
{
    m_panel->clearErrors();
}

void TMainWindow::showTags(const QStringList& lines)
{
    m_panel->showTags(lines);
}

void TMainWindow::setLabelText(TLabel which, const QString& text)
{
    label(which).setText(DisplayPath(text));
}

void TMainWindow::setDestinationColor(TColor color)
{
    SetColor(label(TLabel::Destination), QPalette::WindowText, color);
}

int TMainWindow::destinationWidth() const
{
    return label(TLabel::Destination).width();
}

int TMainWindow::destinationTextWidth(const QString& text) const
{
    return label(TLabel::Destination).fontMetrics().horizontalAdvance(DisplayPath(text));
}

void TMainWindow::setProgress(int percent)
{
    m_gauge->setValue(percent);
}

// Borderless, in the window's colour, whatever the style draws otherwise.
void TMainWindow::setProgressColor(TColor color)
{
    m_gauge->setStyleSheet(QStringLiteral("QProgressBar { border: none; background: %1; }"
                                          " QProgressBar::chunk { background: %2; }")
                               .arg(ToQColor(WindowColor).name(), ToQColor(color).name()));
}

void TMainWindow::setItemEnabled(TMenuItem item, bool enabled)
{
    m_menu->action(item).setEnabled(enabled);
}

void TMainWindow::setItemTicked(TMenuItem item, bool ticked)
{
    m_menu->action(item).setChecked(ticked);
}

void TMainWindow::setHintEnabled(bool enabled)
{
    m_hint->setEnabled(enabled);
}

void TMainWindow::repaint()
{
    QWidget::repaint();
}

void TMainWindow::processEvents()
{
    QCoreApplication::processEvents();
}

void TMainWindow::setApplicationTitle(const QString& title)
{
    m_applicationTitle = DisplayPath(title);
    setWindowIconText(m_applicationTitle);
}

void TMainWindow::bringToFront(bool restore)
{
    if (restore && isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void TMainWindow::showMessage(const QString& text)
{
    QMessageBox::information(this, windowTitle(), DisplayPath(text));
}

// A window closed already (before its first activation) stays so.
void TMainWindow::closeWindow()
{
    if (!m_closed)
        close();
}

void TMainWindow::showCodecStatus(const TCodecStatus& status)
{
    const std::array<const TCodecLabel*, 3> codecs = {&status.Lame, &status.Ape, &status.Flac};
    for (size_t i = 0; i < codecs.size(); ++i) {
        SetColor(*m_codecLabels[i], QPalette::WindowText, codecs[i]->Color);
        m_codecLabels[i]->setToolTip(codecs[i]->Hint);
    }
    m_codecNotFound->setVisible(status.NoCodecs);
}

void TMainWindow::showLameHelp(const QString& caption, const QStringList& lines)
{
    if (!m_help)
        m_help = new TLameHelpDialog(this);
    // Level with the window's left and top edges at every show, but never off the screen:
    // the viewer is wider than the window.
    m_help->move(OnScreen(*this, pos(), m_help->frameGeometry().width()));
    m_help->showLines(caption, lines);
}

void TMainWindow::setPresetTicked(int index, bool ticked)
{
    setItemTicked(PresetItem(index), ticked);
}

void TMainWindow::setPresetCaption(int index, const QString& caption)
{
    m_menu->action(PresetItem(index)).setText(caption);
}

void TMainWindow::setPresetVisible(int index, bool visible)
{
    m_menu->action(PresetItem(index)).setVisible(visible);
}

void TMainWindow::showLameSetting(const QString& text, const QString& hint)
{
    label(TLabel::BitRate).setText(text);
    label(TLabel::BitRate).setToolTip(hint);
}

TTableEdit TMainWindow::editOptionsTable(TCustomOptionsTable& table)
{
    TOptionsTableDialog dialog(this, table);
    dialog.resize(dialog.sizeHint().expandedTo({610, 0}));
    // Centred over the window, level with its top.
    dialog.move(OnScreen(*this, {x() - (dialog.width() - width()) / 2, y()}, dialog.width()));
    return dialog.edit();
}

void TMainWindow::showWarning(const QString& text)
{
    QMessageBox::warning(this, windowTitle(), text);
}

std::optional<QString> TMainWindow::askSaveFolder(const QString& title, const QString& startFolder)
{
    const QString folder = QFileDialog::getExistingDirectory(this, title, startFolder);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

void TMainWindow::setSaveToCaption(const QString& caption)
{
    m_menu->action(TMenuItem::mnuSaveTo).setText(DisplayPath(caption));
}

void TMainWindow::showDestinationWarning(const QString& text)
{
    setDestinationColor(NotUsableColor);
    label(TLabel::Destination).setText(DisplayPath(text));
}

void TMainWindow::clearDestination()
{
    label(TLabel::Destination).clear();
}

void TMainWindow::setVersionCheckVisible(bool visible)
{
    m_versionCheck->setVisible(visible);
    m_versionCheck->repaint();
}

void TMainWindow::setBusyCursor(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

QString TMainWindow::windowCaption() const
{
    return windowTitle();
}

void TMainWindow::setWindowCaption(const QString& caption)
{
    setWindowTitle(caption);
    m_hint->setToolTip(caption + QStringLiteral(" + update notification"));
}

void TMainWindow::showUpdateMessage(const QString& text, const QString& title)
{
    QMessageBox::information(this, title, text);
}

QStringList TMainWindow::errorLines() const
{
    return m_panel->errors().stringList();
}

void TMainWindow::setClipboardText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
}

void TMainWindow::openUrl(const QUrl& url, std::function<void(const QString&)> failed)
{
    m_opener.open(url, std::move(failed));
}

// Changing the flag makes a new native window, which has to be shown again; the drop target
// and the shortcuts belong to the widget and come along.
void TMainWindow::setStayOnTop(bool onTop)
{
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (visible)
        show();
}

void TMainWindow::setWebLink(const QString& address)
{
    m_web->setText(address);
    m_web->setVisible(!address.isEmpty());
    m_web->setCursor(Qt::PointingHandCursor);
    layOutBottomRow();
}

// The LAME setting shares the bottom row with the web address, when there is one.
void TMainWindow::layOutBottomRow()
{
    const int webWidth =
        m_web->isHidden() ? 0 : m_web->fontMetrics().horizontalAdvance(m_web->text()) + 8;
    m_web->setGeometry(width() - 8 - webWidth, 55, webWidth, 16);
    label(TLabel::BitRate).resize(width() - 218 - webWidth, 16);
}

// The locator opens centred on the window's width, at its top, and the window hides meanwhile.
bool TMainWindow::runCodecLocator(TFormCodec& locator)
{
    if (!m_codecLocator)
        m_codecLocator = new TCodecLocatorDialog(this, locator);
    const QPoint origin =
        OnScreen(*this, TFormCodec::Origin(frameGeometry()), TFormCodec::DialogWidth);
    hide();
    const bool confirmed = m_codecLocator->run(origin);
    show();
    return confirmed;
}

void TMainWindow::contextMenuEvent(QContextMenuEvent* event)
{
    m_menu->menu().popup(event->globalPos());
}

void TMainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData() && CarriesLocalFiles(*event->mimeData()))
        event->acceptProposedAction();
}

void TMainWindow::dropEvent(QDropEvent* event)
{
    if (!event->mimeData() || !CarriesLocalFiles(*event->mimeData()))
        return;
    event->acceptProposedAction();
    if (m_form)
        takeDrop(DroppedPaths(*event->mimeData()));
}

// The drop itself ends at once, so the program the files came from is not held up by the
// run the drop starts; the run goes on from the event loop.
void TMainWindow::takeDrop(const QStringList& paths)
{
    QMetaObject::invokeMethod(
        this, [this, paths] { m_form->AppMessage(paths); }, Qt::QueuedConnection);
}

void TMainWindow::closeFromOutside()
{
    if (!m_closingFromOutside) {
        m_closingFromOutside = true;
        QApplication::instance()->installEventFilter(this);
    }
    close();
    endOpenDialogs();
}

// A modal box or dialog ends as if closed unanswered. What a message box said still reaches
// the terminal the program was started from.
void TMainWindow::endOpenDialogs()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (!dialog || !dialog->isVisible() || !dialog->isModal())
            continue;
        if (const auto* box = qobject_cast<QMessageBox*>(dialog))
            std::fprintf(stderr, "quarlow: %s\n", qPrintable(box->text()));
        dialog->reject();
    }
}

// A dialog that opens after a close from outside ends as soon as its own event loop runs:
// ended while it is still being shown, it would wait for ever.
bool TMainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && qobject_cast<QDialog*>(watched))
        QMetaObject::invokeMethod(
            this, [] { endOpenDialogs(); }, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

// During a run the logic refuses and cancels; the run closes the window when it has ended.
void TMainWindow::closeEvent(QCloseEvent* event)
{
    if (m_form && !m_form->FormCloseQuery()) {
        event->ignore();
        return;
    }
    if (m_form) {
        keepSettings();
        m_form->FormClose();
    }
    m_closed = true;
    event->accept();
}
