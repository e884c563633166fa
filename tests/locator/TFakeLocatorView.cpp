#include "TFakeLocatorView.h"

TFakeLocatorView::TFakeLocatorView(TFormCodec& locator) : m_locator(locator)
{
    locator.SetView(*this);
}

void TFakeLocatorView::setEntryText(TCodecRow row, const QString& text)
{
    EntryTexts[size_t(row)] = text;
}

void TFakeLocatorView::Type(TCodecRow row, const QString& text)
{
    EntryTexts[size_t(row)] = text;
    m_locator.cbxLAMEChange(row, text);
}

void TFakeLocatorView::setEntryItems(TCodecRow row, const QStringList& items)
{
    EntryItems[size_t(row)] = items;
}

void TFakeLocatorView::setLabelFound(TLocatorLabel label, bool found)
{
    Found[size_t(label)] = found;
}

void TFakeLocatorView::setLineText(TLocatorLine line, const QString& text)
{
    Lines[size_t(line)] = text;
    if (line == TLocatorLine::PathOfAudioCodecs && !text.isEmpty())
        PathLineLog << text;
}

void TFakeLocatorView::processEvents()
{
    if (OnProcessEvents)
        OnProcessEvents();
}

std::optional<QString> TFakeLocatorView::askToolFile(TCodecRow, const TToolFileQuestion& question)
{
    FileQuestions << question;
    return ChosenFile;
}

bool TFakeLocatorView::askWarning(TWarnQuestion question)
{
    Warnings << question;
    return !WarningAnswers.isEmpty() && WarningAnswers.takeFirst();
}

void TFakeLocatorView::closeDialog()
{
    if (m_locator.FormCloseQuery())
        Closed = true;
}
