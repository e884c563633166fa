#include "LocalNames.h"

namespace {

// The escape of a byte that is no valid UTF-8: 0x80..0xFF map to U+DC80..U+DCFF.
constexpr char16_t EscapeBase = 0xDC00;

bool IsEscape(QChar c)
{
    return c.unicode() >= EscapeBase + 0x80 && c.unicode() <= EscapeBase + 0xFF;
}

// A lone low surrogate at `at`: not the second half of a pair.
bool IsEscapeAt(const QString& text, qsizetype at)
{
    return IsEscape(text.at(at)) && (at == 0 || !text.at(at - 1).isHighSurrogate());
}

void AppendUtf8(QByteArray& bytes, char32_t code)
{
    if (code < 0x80) {
        bytes.append(char(code));
    } else if (code < 0x800) {
        bytes.append(char(0xC0 | (code >> 6)));
        bytes.append(char(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        bytes.append(char(0xE0 | (code >> 12)));
        bytes.append(char(0x80 | ((code >> 6) & 0x3F)));
        bytes.append(char(0x80 | (code & 0x3F)));
    } else {
        bytes.append(char(0xF0 | (code >> 18)));
        bytes.append(char(0x80 | ((code >> 12) & 0x3F)));
        bytes.append(char(0x80 | ((code >> 6) & 0x3F)));
        bytes.append(char(0x80 | (code & 0x3F)));
    }
}

} // namespace

TUtf8Char Utf8CharAt(QByteArrayView bytes, qsizetype at)
{
    const auto lead = static_cast<unsigned char>(bytes.at(at));
    if (lead < 0x80)
        return {lead, 1};
    int length = 0;
    char32_t code = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, smallest = 0x10000;
    } else {
        return {};
    }
    if (bytes.size() - at < length)
        return {};
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes.at(at + k));
        if ((next & 0xC0) != 0x80)
            return {};
        code = (code << 6) | (next & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (code < smallest || surrogate || code > 0x10FFFF)
        return {};
    return {code, length};
}

QString PathFromBytes(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const TUtf8Char c = Utf8CharAt(bytes, at);
        if (c.Length == 0) {
            text.append(QChar(char16_t(EscapeBase + static_cast<unsigned char>(bytes.at(at)))));
            ++at;
            continue;
        }
        text.append(QStringView(QChar::fromUcs4(c.Code)));
        at += c.Length;
    }
    return text;
}

QByteArray PathBytes(const QString& path)
{
    QByteArray bytes;
    bytes.reserve(path.size());
    for (qsizetype at = 0; at < path.size(); ++at) {
        const QChar c = path.at(at);
        if (IsEscapeAt(path, at)) {
            bytes.append(char(c.unicode() - EscapeBase));
        } else if (c.isHighSurrogate() && at + 1 < path.size() &&
                   path.at(at + 1).isLowSurrogate()) {
            AppendUtf8(bytes, QChar::surrogateToUcs4(c, path.at(at + 1)));
            ++at;
        } else if (c.isSurrogate()) {
            AppendUtf8(bytes, QChar::ReplacementCharacter);
        } else {
            AppendUtf8(bytes, c.unicode());
        }
    }
    return bytes;
}

QString DisplayPath(const QString& path)
{
    QString shown = path;
    for (qsizetype at = 0; at < shown.size(); ++at) {
        if (IsEscapeAt(path, at))
            shown[at] = QChar::ReplacementCharacter;
    }
    return shown;
}
