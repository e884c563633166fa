#include "TMainMenu.h"

#include "TMainSettings.h"

#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>
#include <algorithm>

namespace {

struct TItemText
{
    const char* Name;
    const char* Caption;
    QKeySequence Shortcut;
    bool Toggle;
};

// In the order of TMenuItem.
const std::array<TItemText, MenuItemCount> ItemTexts = {{
    {"Exit1", "E&xit when done (toggle)", Qt::Key_F8, true},
    {"LameHelpShow1", "Show La&me Help", Qt::CTRL | Qt::Key_L, false},
    {"mnuSaveTo", "Save to:", Qt::Key_F2, false},
    {"Savetosourcedirectory1", "Save to Source Directory (toggle)", Qt::CTRL | Qt::Key_S, true},
    {"mnuCustomSettings", "custom settings:", Qt::Key_F3, false},
    {"standardoptions1", "standard settings:", {}, false},
    {"cs1", "empty", {}, true},
    {"cs2", "empty", {}, true},
    {"cs3", "empty", {}, true},
    {"cs4", "empty", {}, true},
    {"cs5", "empty", {}, true},
    {"fs1", "128 kb cbr", Qt::CTRL | Qt::Key_F8, true},
    {"fs2", "192 kb vbr", Qt::CTRL | Qt::Key_F9, true},
    {"fs3", "APS", Qt::CTRL | Qt::Key_A, true},
    {"fs4", "APX", Qt::CTRL | Qt::Key_X, true},
    {"fs5", "Insane", Qt::CTRL | Qt::Key_I, true},
    // A command, never left ticked while idle: drawn without a tick box.
    {"Stopcurrentprocesses1", "Cancel &Transcoding", Qt::Key_F4, false},
    {"Verifyonly1", "&Verify only (toggle)", Qt::Key_F9, true},
    {"Help1", "Get Online &Help (pdf)", Qt::Key_F1, false},
    {"CopyErrorListtoClipboard1", "Copy &Error List to Clipboard", Qt::CTRL | Qt::Key_E, false},
    {"Alwaysontop1", "&Always on top (toggle)", Qt::Key_F6, true},
    {"CheckUpdates", "Check for major &Updates (toggle)", Qt::Key_F7, true},
    {"Checkcodecpaths1", "&Find codec locations", Qt::Key_F10, false},
    {"mnuUpdateOnly", "Convert only &new and changed files (toggle)", Qt::CTRL | Qt::Key_U, true},
    {"mnuShowRunRecord", "Show &last run record", Qt::CTRL | Qt::Key_R, false},
}};

// The numbers "Files at once" offers besides one per core.
constexpr int ListedJobs = 8;

} // namespace

TMainMenu::TMainMenu(QWidget& window, Command command, JobsChoice chooseJobs)
    : m_window(window), m_command(std::move(command)), m_menu(new QMenu(&window)),
      m_chooseJobs(std::move(chooseJobs))
{
    m_menu->setObjectName(QStringLiteral("PopupMenu1"));
    addItems(*m_menu, {TMenuItem::Help1, TMenuItem::LameHelpShow1});
    m_menu->addSeparator();
    addItems(*m_menu, {TMenuItem::mnuSaveTo, TMenuItem::Savetosourcedirectory1});
    m_menu->addMenu(&addOptionsMenu());
    m_menu->addMenu(&addJobsMenu());
    m_menu->addSeparator();
    addItems(*m_menu, {TMenuItem::Stopcurrentprocesses1});
    m_menu->addAction(addShowData());
    addItems(*m_menu, {TMenuItem::CopyErrorListtoClipboard1, TMenuItem::mnuShowRunRecord});
    m_menu->addSeparator();
    addItems(*m_menu, {TMenuItem::Alwaysontop1, TMenuItem::CheckUpdates, TMenuItem::Exit1,
                       TMenuItem::Verifyonly1, TMenuItem::mnuUpdateOnly});
    m_menu->addSeparator();
    addItems(*m_menu, {TMenuItem::Checkcodecpaths1});
}

QMenu& TMainMenu::addOptionsMenu()
{
    auto* options = new QMenu(QStringLiteral("&Lame Encoding Options"), m_menu);
    options->setObjectName(QStringLiteral("CustomLameoption1"));
    addItems(*options, {TMenuItem::mnuCustomSettings});
    options->addSeparator();
    addItems(*options, {TMenuItem::cs1, TMenuItem::cs2, TMenuItem::cs3, TMenuItem::cs4,
                        TMenuItem::cs5, TMenuItem::standardoptions1});
    action(TMenuItem::standardoptions1).setEnabled(false);
    options->addSeparator();
    addItems(*options,
             {TMenuItem::fs1, TMenuItem::fs2, TMenuItem::fs3, TMenuItem::fs4, TMenuItem::fs5});
    // The ten sets are one choice and draw round marks; the logic may also tick none.
    auto* sets = new QActionGroup(options);
    sets->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (int item = int(TMenuItem::cs1); item <= int(TMenuItem::fs5); ++item)
        sets->addAction(&action(TMenuItem(item)));
    return *options;
}

// A toggle's tick is the logic's to set: the tick a click gave is taken back before the
// command runs. (In the group of the option sets the click has also taken the tick of the
// chosen one, which the logic then gives to the set it chooses.)
void TMainMenu::addItems(QMenu& menu, std::initializer_list<TMenuItem> items)
{
    for (TMenuItem item : items) {
        const TItemText& text = ItemTexts[size_t(item)];
        QAction* action = menu.addAction(QString::fromUtf8(text.Caption));
        action->setObjectName(QString::fromUtf8(text.Name));
        action->setShortcut(text.Shortcut);
        action->setCheckable(text.Toggle);
        QObject::connect(action, &QAction::triggered, action, [this, action, item] {
            if (action->isCheckable())
                action->setChecked(!action->isChecked());
            m_command(item);
        });
        m_window.addAction(action);
        m_actions[size_t(item)] = action;
    }
}

QMenu& TMainMenu::addJobsMenu()
{
    m_jobsMenu = new QMenu(QStringLiteral("Files at &once"), m_menu);
    m_jobsMenu->setObjectName(QStringLiteral("FilesAtOnce"));
    addJobsEntry(1, QStringLiteral("1 (one after the other)"), nullptr);
    for (int jobs = 2; jobs <= ListedJobs; ++jobs)
        addJobsEntry(jobs, QString::number(jobs), nullptr);
    addJobsEntry(TMainSettings::OnePerCore,
                 QStringLiteral("one per core (%1)").arg(TMainSettings::CoreCount()), nullptr);
    return *m_jobsMenu;
}

// Like a toggle's, the tick is the window's to set.
QAction* TMainMenu::addJobsEntry(int jobs, const QString& caption, QAction* before)
{
    auto* action = new QAction(caption, m_jobsMenu);
    action->setObjectName(QStringLiteral("Jobs%1").arg(jobs));
    action->setCheckable(true);
    action->setData(jobs);
    m_jobsMenu->insertAction(before, action);
    QObject::connect(action, &QAction::triggered, action, [this, action, jobs] {
        action->setChecked(!action->isChecked());
        m_chooseJobs(jobs);
    });
    m_jobs.push_back(action);
    return action;
}

void TMainMenu::tickJobs(int jobs)
{
    const auto listed = std::find_if(m_jobs.begin(), m_jobs.end(),
                                     [jobs](QAction* action) { return action->data() == jobs; });
    QAction* ticked =
        listed != m_jobs.end() ? *listed : addJobsEntry(jobs, QString::number(jobs), m_jobs.back());
    for (QAction* action : m_jobs)
        action->setChecked(action == ticked);
}

QAction* TMainMenu::addShowData()
{
    m_showData = new QAction(QStringLiteral("Show &Cue, Tags, Errors (toggle)"), m_menu);
    m_showData->setObjectName(QStringLiteral("ShowData"));
    m_showData->setShortcut(Qt::Key_F5);
    m_showData->setCheckable(true);
    m_window.addAction(m_showData);
    return m_showData;
}
