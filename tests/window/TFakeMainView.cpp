#include "TFakeMainView.h"

void TFakeRunView::appendQueueEntry(const QString& path)
{
    Queue.append(path);
    QueueRows.append(path);
    QueueLog.append(path);
}

void TFakeRunView::removeQueueEntry(qsizetype index)
{
    Queue.removeAt(index);
    QueueRows.removeAt(index);
}

void TFakeRunView::clearQueue()
{
    Queue.clear();
    QueueRows.clear();
}

void TFakeMainView::setQueueEntryText(qsizetype index, const QString& text)
{
    QueueRows[index] = text;
}

void TFakeRunView::appendError(const QString& line)
{
    Errors.append(line);
}

void TFakeRunView::clearErrors()
{
    Errors.clear();
}

void TFakeMainView::showTags(const QStringList& lines)
{
    Tags = lines;
}

void TFakeRunView::setLabelText(TLabel which, const QString& text)
{
    Labels[size_t(which)] = text;
}

void TFakeMainView::setDestinationColor(TColor color)
{
    DestinationColor = color;
}

int TFakeMainView::destinationWidth() const
{
    return DestinationWidth;
}

int TFakeMainView::destinationTextWidth(const QString& text) const
{
    return TextWidth(text);
}

void TFakeRunView::setProgress(int percent)
{
    Progress = percent;
}

void TFakeMainView::setProgressColor(TColor color)
{
    ProgressColors.append(color);
}

void TFakeMainView::setItemEnabled(TMenuItem item, bool enabled)
{
    Enabled[size_t(item)] = enabled;
}

void TFakeMainView::setItemTicked(TMenuItem item, bool ticked)
{
    Ticked[size_t(item)] = ticked;
}

void TFakeMainView::setHintEnabled(bool enabled)
{
    HintEnabled = enabled;
}

void TFakeMainView::repaint()
{
    ++Repaints;
}

void TFakeRunView::processEvents()
{
    if (OnProcessEvents)
        OnProcessEvents();
}

void TFakeMainView::setApplicationTitle(const QString& title)
{
    Titles.append(title);
}

void TFakeMainView::bringToFront(bool restore)
{
    ++Raises;
    Restores += restore ? 1 : 0;
}

void TFakeRunView::showMessage(const QString& text)
{
    Messages.append(text);
    Modal();
}

void TFakeMainView::closeWindow()
{
    ++CloseRequests;
}

void TFakeMainView::showCodecStatus(const TCodecStatus& status)
{
    CodecStatuses.append(status);
}

void TFakeMainView::showLameHelp(const QString& caption, const QStringList& lines)
{
    HelpCaption = caption;
    HelpLines = lines;
}

void TFakeMainView::setPresetTicked(int index, bool ticked)
{
    setItemTicked(TMenuItem(int(TMenuItem::cs1) + index), ticked);
}

void TFakeMainView::setPresetCaption(int index, const QString& caption)
{
    PresetCaptions[size_t(index)] = caption;
}

void TFakeMainView::setPresetVisible(int index, bool visible)
{
    PresetVisible[size_t(index)] = visible;
}

void TFakeMainView::showLameSetting(const QString& text, const QString& hint)
{
    setLabelText(TLabel::BitRate, text);
    BitRateHint = hint;
}

TTableEdit TFakeMainView::editOptionsTable(TCustomOptionsTable& table)
{
    Modal();
    return OnEditOptionsTable ? OnEditOptionsTable(table) : TTableEdit{TTableExit::Ok, {}};
}

void TFakeMainView::showWarning(const QString& text)
{
    Messages.append(text);
    Modal();
}

std::optional<QString> TFakeMainView::askSaveFolder(const QString& title,
                                                    const QString& startFolder)
{
    SaveFolderQuestions << title + u'|' + startFolder;
    Modal();
    return SaveFolderAnswer;
}

void TFakeMainView::setSaveToCaption(const QString& caption)
{
    SaveToCaption = caption;
}

void TFakeMainView::showDestinationWarning(const QString& text)
{
    setLabelText(TLabel::Destination, text);
    DestinationColor = TColor{255, 0, 0};
}

void TFakeMainView::clearDestination()
{
    setLabelText(TLabel::Destination, QString());
}

void TFakeMainView::setVersionCheckVisible(bool visible)
{
    VersionCheckVisible = visible;
}

void TFakeMainView::setBusyCursor(bool) {}

void TFakeMainView::setWindowCaption(const QString& caption)
{
    WindowCaption = caption;
}

void TFakeMainView::showUpdateMessage(const QString& text, const QString& title)
{
    UpdateMessages << title + u'|' + text;
    Modal();
}

bool TFakeMainView::runCodecLocator(TFormCodec& locator)
{
    return OnRunCodecLocator && OnRunCodecLocator(locator);
}

void TFakeRunView::Modal() const
{
    if (OnModal)
        OnModal();
}
