#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTest>

// Whole and damaged list files, with what the list loader makes of them. The import reads files
// by the loader's rules, so its tests take the same rows.
namespace damagedfiles {

inline QByteArray crlf(std::initializer_list<const char*> lines)
{
    QByteArray out;
    for (const char* l : lines)
        out += QByteArray(l) + "\r\n";
    return out;
}

inline const QByteArray kTitleLines = crlf({"1,0,Task", "2,0,Due On", "3,0,Due At", "4,0,Category", "5,0,Pr",
                                            "6,0,Notes", "7,0,Create Date", "8,0,Alarm", "9,0,Lead Time", "10,0,Type"});

// Columns: bytes; message, the start of the error (empty for a whole file); rows, the loaded
// list's row count; tasks, column 1 of rows 1, 2, ... as loaded.
inline void addRows()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("tasks");

    const QByteArray head = QByteArray("12,6\r\n") + kTitleLines;
    const QString endMark = QStringLiteral("Line %1 of the file holds an end-of-file mark (Ctrl-Z)");
    QTest::newRow("older edition, whole") << QByteArray("12,3\r\n" + kTitleLines + crlf({"1,1,Caf\xE9", "5,1,\xA0", "1,2,b"}))
                                          << QString() << 3 << QStringList{"Caf\u00e9", "b"};
    QTest::newRow("end mark as the last byte") << QByteArray("12,2\r\n" + kTitleLines + crlf({"1,1,a"}) + "\x1A")
                                               << QString() << 2 << QStringList{"a"};
    QTest::newRow("ctrl-z between lines") << QByteArray(head + crlf({"1,1,a"}) + "\x1A" + crlf({"1,2,b"}))
                                          << endMark.arg(13) << 2 << QStringList{"a"};
    QTest::newRow("ctrl-z within a line") << QByteArray(head + crlf({"1,1,a", "1,2,b\x1A", "1,3,c"}))
                                          << endMark.arg(13) << 2 << QStringList{"a"};
    QTest::newRow("two end marks") << QByteArray(head + crlf({"1,1,a"}) + "\x1A\x1A") << endMark.arg(13) << 2
                                   << QStringList{"a"};
    QTest::newRow("garbage with an early end mark") << QByteArray("x\x1A" "garbage\r\n") << endMark.arg(1) << 1
                                                    << QStringList{};
    QTest::newRow("last line without line end") << QByteArray(head + crlf({"1,1,a", "1,2,b"}) + "1,3,cu")
                                                << QStringLiteral("The file ends in the middle of line 14") << 3
                                                << QStringList{"a", "b"};
    QTest::newRow("last line without its LF") << QByteArray(head + crlf({"1,1,a"}) + "1,4,b\r")
                                              << QStringLiteral("The file ends in the middle of line 13") << 2
                                              << QStringList{"a"};
    QTest::newRow("cut within the titles") << QByteArray("12,100000\r\n1,0,Task\r\n2,0,Du")
                                           << QStringLiteral("The file ends in the middle of line 3") << 1
                                           << QStringList{};
    QTest::newRow("cut in the size line") << QByteArray("12,10") << QStringLiteral("The file ends in the middle of line 1")
                                          << 1 << QStringList{};
    QTest::newRow("empty") << QByteArray() << QStringLiteral("The file is empty.") << 1 << QStringList{};
    QTest::newRow("not utf-8 after the mark")
        << QByteArray("\xEF\xBB\xBF" + head + crlf({"1,1,Caf\xC3\xA9", "1,2,Caf\xE9", "5,2,\xA0", "1,3,c"}))
        << QStringLiteral("Line 13 of the file is not valid UTF-8 text") << 2 << QStringList{"Caf\u00e9"};
    QTest::newRow("bad number drops unfilled rows") << QByteArray(head + crlf({"1,1,a", "x,2,b"}))
                                                    << QStringLiteral("'x' is not a valid integer value") << 2
                                                    << QStringList{"a"};
    // The rows the header declares are all read; the far cell is not.
    QTest::newRow("a cell far beyond the rows") << QByteArray(head + crlf({"1,1,a", "1,4999999,far", "1,2,b"}))
                                                << QStringLiteral("Line 13 of the file names row 4999999") << 3
                                                << QStringList{"a", "b"};
}

} // namespace damagedfiles
