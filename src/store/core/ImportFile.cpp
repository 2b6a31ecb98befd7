#include "store/core/ImportFile.h"

#include "platform/core/AppError.h"
#include "store/core/Task.h"
#include "widgets/core/GridFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <bitset>
#include <charconv>
#include <cstring>
#include <string>

namespace veltry {

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

AppError tooLarge(const QString& path)
{
    return AppError(QStringLiteral("The file %1 is too large to be imported.").arg(path));
}

void appendNumber(std::string& out, int n)
{
    char buf[12];
    const auto end = std::to_chars(buf, buf + sizeof buf, n).ptr;
    out.append(buf, size_t(end - buf));
}

} // namespace

ImportLayout importLayoutOf(const QString& path)
{
    return path.endsWith(QLatin1String("vlo"), Qt::CaseSensitive) ? ImportLayout::Standard : ImportLayout::Current;
}

int importTaskColumn(ImportLayout layout, int sourceColumn, int taskColumns)
{
    int col = -1;
    if (layout == ImportLayout::Current) {
        col = sourceColumn;
    } else {
        static constexpr int kStandardColumns[] = {-1,
                                                   TaskCol::Task,
                                                   TaskCol::DueDate,
                                                   TaskCol::Category,
                                                   TaskCol::Priority,
                                                   TaskCol::Notes,
                                                   TaskCol::CreateDate};
        if (sourceColumn >= 0 && sourceColumn < int(std::size(kStandardColumns)))
            col = kStandardColumns[sourceColumn];
    }
    return col >= 0 && col < taskColumns ? col : -1;
}

CellStore importTasks(const CellStore& taskList, QByteArrayView bytes, ImportLayout layout)
{
    const int columns = taskList.columnCount();
    const bool emptyList = taskList.rowCount() <= 2 && taskList.isCellEmpty(TaskCol::Task, 1);
    // Rows that stay below the imported tasks: the placeholder row of an empty list (whether or
    // not it receives tasks), otherwise every task row.
    const qint64 keptRows = emptyList ? 1 : taskList.rowCount() - 1;

    // The cell lines once more, each run renumbered as the task it becomes (row 0 collects what
    // the placeholder row receives, rows 1.. are the inserted tasks in file order), so that the
    // grid file reader decodes the texts exactly as it does for a list it loads. The header stays
    // empty: the reader then keeps the dimensions set up for it.
    std::string lines;
    bool toPlaceholder = emptyList;
    bool placeholderNamed = false;  // the placeholder's Task cell is no longer empty
    std::bitset<CellStore::kMaxColumns> placeholderWritten;
    qint64 previousRow = 0;
    int inserted = 0;
    int target = 0;

    // The list loader's reader, so that a file the loader would call damaged adds nothing.
    GridFile::Reader reader(bytes);
    try {
        lines.reserve(size_t(reader.bytes().size()) + size_t(reader.bytes().size() / 8) + 8);
        if (reader.isUtf8())
            lines.append(kUtf8Bom);
        lines.append("\r\n");
        int headerColumns = 0;
        int headerRows = 0;
        reader.header(headerColumns, headerRows);  // its counts only tell which rows lie far off
        GridFile::CellLineView cell;
        while (reader.next(cell)) {
            if (cell.row == 0)
                continue;  // titles
            if (cell.row != previousRow) {
                previousRow = cell.row;
                // The list stops counting as empty once the placeholder row has a description.
                if (toPlaceholder && placeholderNamed)
                    toPlaceholder = false;
                if (toPlaceholder) {
                    target = 0;
                } else {
                    if (1 + inserted + 1 + keptRows > CellStore::kMaxRows)
                        throw AppError(QStringLiteral("The file holds more tasks than the list can take."));
                    target = ++inserted;
                }
            }
            const int taskCol = importTaskColumn(layout, cell.col, columns);
            if (taskCol < 0)
                continue;
            if (target == 0) {
                placeholderWritten.set(size_t(taskCol));
                if (taskCol == TaskCol::Task)
                    placeholderNamed = !cell.text.isEmpty();
            }
            appendNumber(lines, taskCol);
            lines.push_back(',');
            appendNumber(lines, target);
            lines.push_back(',');
            lines.append(cell.text.data(), size_t(cell.text.size()));
            lines.append("\r\n");
        }
        reader.finish();
    } catch (const AppError& e) {
        // Where the file is damaged, in words the user can find it by.
        static const QRegularExpression namesLine(QStringLiteral("\\bline \\d"), QRegularExpression::CaseInsensitiveOption);
        if (reader.lineNumber() > 0 && !e.message().contains(namesLine))
            throw AppError(e.message() + QStringLiteral(" (line %1 of the file)").arg(reader.lineNumber()));
        throw;
    }

    CellStore tasks;
    tasks.setColumnCount(columns);
    tasks.setRowCount(inserted + 1);
    GridFile::decode(tasks, QByteArrayView(lines.data(), qsizetype(lines.size())));
    std::vector<RowCells>& imported = tasks.rows();

    CellStore result;
    result.setColumnCount(columns);
    result.setRowCount(int(1 + inserted + keptRows));
    std::vector<RowCells>& rows = result.rows();
    if (taskList.rowCount() > 0)
        rows[0] = taskList.row(0).clone();
    // The file's last task on top.
    for (int i = 0; i < inserted; ++i)
        rows[size_t(1 + i)] = std::move(imported[size_t(inserted - i)]);
    if (emptyList) {
        // Cells the tasks did not write keep what the placeholder row held.
        RowCells placeholder = taskList.rowCount() > 1 ? taskList.row(1).clone() : RowCells();
        for (int c = 0; c < columns; ++c)
            if (placeholderWritten.test(size_t(c)))
                placeholder.setCell(c, imported[0].cell(c));
        rows[size_t(1 + inserted)] = std::move(placeholder);
    } else {
        for (int r = 1; r < taskList.rowCount(); ++r)
            rows[size_t(inserted + r)] = taskList.row(r).clone();
    }
    return result;
}

QByteArray readImportFile(const QString& path, qint64 maxBytes)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw AppError(QStringLiteral("File ") + path + QStringLiteral(" not found"));
    // A pipe or a device could block the program or never end.
    if (!info.isFile())
        throw AppError(QStringLiteral("%1 is not a file.").arg(path));
    if (info.size() > maxBytes)
        throw tooLarge(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    // Read no more than the size just checked, even if the file grows meanwhile.
    const qint64 size = std::min(file.size(), maxBytes);
    QByteArray bytes = file.read(size);
    if (file.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    return bytes;
}

CellStore ImportFile(const CellStore& taskList, const QString& path)
{
    return importTasks(taskList, readImportFile(path), importLayoutOf(path));
}

bool isCalendarPath(const QString& path)
{
    return path.endsWith(QLatin1String(".ics"), Qt::CaseInsensitive);
}

CellStore importTaskRows(const CellStore& taskList, const CellStore& rows)
{
    const int columns = taskList.columnCount();
    const int sourceColumns = std::min(rows.columnCount(), columns);
    const bool emptyList = taskList.rowCount() <= 2 && taskList.isCellEmpty(TaskCol::Task, 1);
    const qint64 keptRows = emptyList ? 1 : taskList.rowCount() - 1;

    // Where each source row goes: -1 the placeholder row of an empty list, which takes rows
    // until one of them gives it a description; otherwise the next new task.
    std::vector<int> targets;
    targets.reserve(size_t(std::max(0, rows.rowCount() - 1)));
    bool toPlaceholder = emptyList;
    int inserted = 0;
    for (int r = 1; r < rows.rowCount(); ++r) {
        const RowCells& source = rows.row(r);
        const int stored = std::min(source.storedCount(), rows.columnCount());
        bool hasText = false;
        for (int c = 0; c < stored && !hasText; ++c)
            hasText = !source.cell(c).isEmpty();
        if (!hasText) {
            targets.push_back(-2);
            continue;
        }
        if (toPlaceholder) {
            targets.push_back(-1);
            if (!source.cell(TaskCol::Task).isEmpty() && TaskCol::Task < sourceColumns)
                toPlaceholder = false;
            continue;
        }
        if (1 + inserted + 1 + keptRows > CellStore::kMaxRows)
            throw AppError(QStringLiteral("The file holds more tasks than the list can take."));
        targets.push_back(++inserted);
    }

    CellStore result;
    result.setColumnCount(columns);
    result.setRowCount(int(1 + inserted + keptRows));
    std::vector<RowCells>& out = result.rows();
    if (taskList.rowCount() > 0)
        out[0] = taskList.row(0).clone();
    RowCells placeholder;
    if (emptyList) {
        if (taskList.rowCount() > 1)
            placeholder = taskList.row(1).clone();
    } else {
        for (int r = 1; r < taskList.rowCount(); ++r)
            out[size_t(inserted + r)] = taskList.row(r).clone();
    }
    for (int r = 1; r < rows.rowCount(); ++r) {
        const int target = targets[size_t(r - 1)];
        if (target == -2)
            continue;
        // The source's last task on top; cells the placeholder's rows leave empty keep what it held.
        RowCells& into = target < 0 ? placeholder : out[size_t(1 + inserted - target)];
        const RowCells& source = rows.row(r);
        for (int c = 0; c < std::min(source.storedCount(), sourceColumns); ++c)
            if (!source.cell(c).isEmpty())
                into.setCell(c, source.cell(c));
    }
    if (emptyList)
        out[size_t(1 + inserted)] = std::move(placeholder);
    return result;
}

CalendarImport importCalendar(const CellStore& taskList, QByteArrayView bytes, const ICalendar::Context& context)
{
    ICalendar::Tasks tasks = ICalendar::decode(bytes, context);
    // A to-do keeps its UID, so the other program and this list go on meaning the same task; one
    // the list holds already (the same file imported again), or a repeat within the file, would
    // make two tasks one, so those get a new UID when next exported or synced.
    if (tasks.rows.columnCount() > TaskCol::Reserved) {
        QSet<QString> held;
        if (taskList.columnCount() > TaskCol::Reserved)
            for (int r = 1; r < taskList.rowCount(); ++r)
                held.insert(taskList.cell(TaskCol::Reserved, r));
        for (int r = 1; r < tasks.rows.rowCount(); ++r) {
            const QString uid = tasks.rows.cell(TaskCol::Reserved, r);
            if (held.contains(uid))
                tasks.rows.setCell(TaskCol::Reserved, r, QString());
            held.insert(uid);
        }
    }
    CalendarImport result;
    result.todos = tasks.todos;
    result.skipped = tasks.skipped;
    // The to-dos go in as the tasks of a list file of the current layout would: the order, the
    // empty list's placeholder row and the row limit follow the one rule.
    result.list = importTaskRows(taskList, tasks.rows);
    return result;
}

CalendarImport ImportCalendarFile(const CellStore& taskList, const QString& path)
{
    return importCalendar(taskList, readImportFile(path, kMaxCalendarBytes));
}

} // namespace veltry
