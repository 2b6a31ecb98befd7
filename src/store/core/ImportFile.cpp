#include "store/core/ImportFile.h"

#include "platform/core/AppError.h"
#include "store/core/Task.h"
#include "widgets/core/GridFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <bitset>
#include <charconv>
#include <cstring>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace veltry {

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

AppError tooLarge(const QString& path)
{
    return AppError(QStringLiteral("The file %1 is too large to be imported.").arg(path));
}

// A huge file's buffer is fresh memory the kernel hands over a page at a time as it is first
// written, which costs more than the reading itself; in large pages it takes a few hundredth of
// that. Only whole large pages inside the buffer are asked for.
void adviseLargePages(char* data, qsizetype size)
{
#ifdef __linux__
    constexpr quintptr kLarge = quintptr(2) << 20;
    if (size < qsizetype(8 * kLarge))
        return;
    const quintptr begin = (quintptr(data) + kLarge - 1) & ~(kLarge - 1);
    const quintptr end = (quintptr(data) + quintptr(size)) & ~(kLarge - 1);
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
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

namespace {

// One decoded source row: its cells in the task list's columns and which of them it sets. A
// source row that sets no cell of the list still is one (a task file's run of lines in dropped
// columns adds an empty task).
struct SourceRow
{
    RowCells cells;
    std::bitset<CellStore::kMaxColumns> written;
};

AppError tooManyTasks()
{
    return AppError(QStringLiteral("The file holds more tasks than the list can take."));
}

// The one rule by which decoded rows join `taskList`: each a new task at the top, the last one
// at row 1, the rows that were there following unchanged; an empty list's placeholder row takes
// the first rows until one of them leaves it a description. Linear, however many rows come.
CellStore placeRows(const CellStore& taskList, std::vector<SourceRow>& source)
{
    const int columns = taskList.columnCount();
    const bool emptyList = taskList.rowCount() <= 2 && taskList.isCellEmpty(TaskCol::Task, 1);
    // Rows that stay below the imported tasks: the placeholder row of an empty list (whether or
    // not it receives tasks), otherwise every task row.
    const qint64 keptRows = emptyList ? 1 : taskList.rowCount() - 1;

    // Where each source row goes: 0 the placeholder, otherwise the how-manieth new task.
    std::vector<int> targets;
    targets.reserve(source.size());
    bool toPlaceholder = emptyList;
    bool named = false;
    int inserted = 0;
    for (const SourceRow& row : source) {
        if (toPlaceholder) {
            targets.push_back(0);
            if (row.written.test(TaskCol::Task))
                named = !row.cells.cell(TaskCol::Task).isEmpty();
            toPlaceholder = !named;
            continue;
        }
        if (1 + inserted + 1 + keptRows > CellStore::kMaxRows)
            throw tooManyTasks();
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
    for (size_t i = 0; i < source.size(); ++i) {
        if (targets[i] > 0) {
            out[size_t(1 + inserted - targets[i])] = std::move(source[i].cells);
            continue;
        }
        // Cells the placeholder's rows leave alone keep what it held. Built in one copy, not one
        // for each cell, however long its texts.
        std::vector<QByteArrayView> cells(size_t(std::max(placeholder.storedCount(), columns)));
        for (size_t c = 0; c < cells.size(); ++c)
            cells[c] = c < size_t(columns) && source[i].written.test(c) ? source[i].cells.cell(int(c))
                                                                        : placeholder.cell(int(c));
        placeholder.assign(cells);
    }
    if (emptyList)
        out[size_t(1 + inserted)] = std::move(placeholder);
    return result;
}

// A task file's rows, one for each run of cell lines of one source row, in file order.
std::vector<SourceRow> decodeTaskFile(QByteArrayView bytes, ImportLayout layout, int columns)
{
    // The cell lines once more, each run renumbered as its place in the file, so that the grid
    // file reader decodes the texts exactly as it does for a list it loads. The header stays
    // empty: the reader then keeps the dimensions set up for it.
    std::string lines;
    std::vector<SourceRow> rows;
    qint64 previousRow = 0;

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
                if (qint64(rows.size()) + 1 >= CellStore::kMaxRows)
                    throw tooManyTasks();
                rows.emplace_back();
            }
            const int taskCol = importTaskColumn(layout, cell.col, columns);
            if (taskCol < 0)
                continue;
            rows.back().written.set(size_t(taskCol));
            appendNumber(lines, taskCol);
            lines.push_back(',');
            appendNumber(lines, int(rows.size()));
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

    CellStore decoded;
    decoded.setColumnCount(columns);
    decoded.setRowCount(int(rows.size()) + 1);
    GridFile::decode(decoded, QByteArrayView(lines.data(), qsizetype(lines.size())));
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i].cells = std::move(decoded.rows()[i + 1]);
    return rows;
}

} // namespace

CellStore importTasks(const CellStore& taskList, QByteArrayView bytes, ImportLayout layout)
{
    std::vector<SourceRow> rows = decodeTaskFile(bytes, layout, taskList.columnCount());
    return placeRows(taskList, rows);
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
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    adviseLargePages(bytes.data(), bytes.size());
    const qint64 read = file.read(bytes.data(), size);
    if (read < 0 || file.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    bytes.truncate(qsizetype(read));  // the file may have shrunk meanwhile
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

namespace {

// importTaskRows; given `owned`, the rows of `rows` themselves, one that fits the list as it is
// moves over, so a huge text is not copied once more.
CellStore importRows(const CellStore& taskList, const CellStore& rows, std::vector<RowCells>* owned)
{
    const int sourceColumns = std::min(rows.columnCount(), taskList.columnCount());
    std::vector<SourceRow> source;
    source.reserve(size_t(std::max(0, rows.rowCount() - 1)));
    for (int r = 1; r < rows.rowCount(); ++r) {
        const RowCells& from = rows.row(r);
        // A row without text is no task, as a task with no cell lines in a file is none; one
        // with text in columns the list does not have is an empty one.
        const int stored = std::min(from.storedCount(), rows.columnCount());
        bool hasText = false;
        SourceRow row;
        std::vector<QByteArrayView> cells(size_t(std::clamp(stored, 0, sourceColumns)));
        for (int c = 0; c < stored; ++c) {
            if (from.cell(c).isEmpty())
                continue;
            hasText = true;
            if (c < sourceColumns) {
                cells[size_t(c)] = from.cell(c);
                row.written.set(size_t(c));
            }
        }
        if (!hasText)
            continue;
        if (owned && from.storedCount() <= sourceColumns) {
            // Its stored cells are the ones it would be built from; pictures never come along.
            row.cells = std::move((*owned)[size_t(r)]);
            row.cells.clearImages();
        } else {
            // Built in one copy, however long its texts.
            row.cells.assign(cells);
        }
        source.push_back(std::move(row));
    }
    return placeRows(taskList, source);
}

} // namespace

CellStore importTaskRows(const CellStore& taskList, const CellStore& rows)
{
    return importRows(taskList, rows, nullptr);
}

CellStore importTaskRows(const CellStore& taskList, CellStore&& rows)
{
    return importRows(taskList, rows, &rows.rows());
}

namespace {

CalendarImport importTodos(const CellStore& taskList, ICalendar::Tasks tasks)
{
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
    result.list = importTaskRows(taskList, std::move(tasks.rows));
    return result;
}

} // namespace

CalendarImport importCalendar(const CellStore& taskList, QByteArrayView bytes, const ICalendar::Context& context)
{
    return importTodos(taskList, ICalendar::decode(bytes, context));
}

CalendarImport ImportCalendarFile(const CellStore& taskList, const QString& path)
{
    return importTodos(taskList, ICalendar::decode(readImportFile(path, kMaxCalendarBytes)));
}

} // namespace veltry
