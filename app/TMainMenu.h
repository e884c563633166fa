#pragma once

#include "IMainView.h"

#include <array>
#include <functional>
#include <initializer_list>
#include <vector>

class QAction;
class QMenu;
class QWidget;

// The window's popup menu: one action per item the logic knows, named after the item, and
// the data panel's switch. The actions sit on the window too, so that their shortcuts work
// while it has the focus. A click never ticks an item by itself: the logic ticks it.
class TMainMenu
{
public:
    using Command = std::function<void(TMenuItem)>;
    // The number of files a run converts at once, as stored (0: one per core).
    using JobsChoice = std::function<void(int)>;

    TMainMenu(QWidget& window, Command command, JobsChoice chooseJobs);

    QMenu& menu() { return *m_menu; }
    QAction& action(TMenuItem item) { return *m_actions[size_t(item)]; }
    // "Show Cue, Tags, Errors": ticked while the data panel is shown.
    QAction& showData() { return *m_showData; }
    // "Files at once": ticks the entry of this stored number, adding one when it has none.
    void tickJobs(int jobs);

private:
    void addItems(QMenu& menu, std::initializer_list<TMenuItem> items);
    QMenu& addOptionsMenu();
    QAction* addShowData();
    QMenu& addJobsMenu();
    QAction* addJobsEntry(int jobs, const QString& caption, QAction* before);

    QWidget& m_window;
    Command m_command;
    QMenu* m_menu;
    std::array<QAction*, MenuItemCount> m_actions{};
    QAction* m_showData = nullptr;
    JobsChoice m_chooseJobs;
    QMenu* m_jobsMenu = nullptr;
    std::vector<QAction*> m_jobs;
};
