#pragma once

#include <QString>

// The labels of the main window that the transcoding control writes.
enum class TLabel
{
    Audio,
    Destination,
    Version,
    BitRate,
    LameVersion
};

// What every front end of the transcoding control shows of its runs, the desktop window and
// a terminal alike: the queue, the error list, the labels and the gauge's percent, and the
// messages the user must read. Its pump is where the user's commands reach a run.
class IRunView
{
public:
    virtual ~IRunView() = default;

    // The "Cue List": the queue, first entry first; an entry leaves it from where it stands.
    virtual void appendQueueEntry(const QString& path) = 0;
    virtual void removeQueueEntry(qsizetype index) = 0;
    virtual void clearQueue() = 0;

    // The "Error List".
    virtual void appendError(const QString& line) = 0;
    virtual void clearErrors() = 0;

    virtual void setLabelText(TLabel label, const QString& text) = 0;
    // The progress bar, 0..100.
    virtual void setProgress(int percent) = 0;

    // Runs the user's pending commands, drops and redraws; called often while a tool runs.
    virtual void processEvents() = 0;
    // A message the user must acknowledge.
    virtual void showMessage(const QString& text) = 0;
};
