#pragma once

#include <QHash>
#include <QString>

// The version texts of a program file, as the file's version resource gives them. Here only
// this program's own file has such a resource, and the build supplies its texts
// (FileVersion, ProductVersion, FileDescription). A text the file cannot give reads
// "?.?" when the file does not exist, "0.0" when it has no version resource and "!.!" when
// its resource lacks that text.
class TVersionComp
{
public:
    // The empty name stands for the program's own file.
    explicit TVersionComp(const QString& file = {});

    const QString& GetFile() const { return m_file; }
    void SetFile(const QString& file);

    QString GetFileVersion() const { return Text(QStringLiteral("FileVersion")); }
    QString GetFileDescription() const { return Text(QStringLiteral("FileDescription")); }
    QString GetCompanyName() const { return Text(QStringLiteral("CompanyName")); }
    QString GetInternalName() const { return Text(QStringLiteral("InternalName")); }
    QString GetLegalCopyright() const { return Text(QStringLiteral("LegalCopyright")); }
    QString GetLegalTrademarks() const { return Text(QStringLiteral("LegalTrademarks")); }
    QString GetOriginalFilename() const { return Text(QStringLiteral("OriginalFilename")); }
    QString GetProductName() const { return Text(QStringLiteral("ProductName")); }
    QString GetProductVersion() const { return Text(QStringLiteral("ProductVersion")); }
    QString GetComments() const { return Text(QStringLiteral("Comments")); }

private:
    QString Text(const QString& key) const { return m_texts.value(key, m_absentText); }

    QString m_file;
    QHash<QString, QString> m_texts;
    QString m_absentText;
};
