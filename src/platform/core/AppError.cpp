#include "platform/core/AppError.h"

#include <type_traits>

namespace veltry {

AppError invalidIntegerError(const QString& text)
{
    return AppError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

namespace {
template <typename View>
bool parseIntegerImpl(View text, qint64& value)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto at = [&](qsizetype k) -> char32_t {
        if constexpr (std::is_same_v<View, QStringView>)
            return text[k].unicode();
        else
            return static_cast<unsigned char>(text[k]);
    };
    while (i < n && (at(i) == U' ' || at(i) == U'\t'))
        ++i;
    bool negative = false;
    if (i < n && (at(i) == U'-' || at(i) == U'+')) {
        negative = at(i) == U'-';
        ++i;
    }
    int base = 10;
    if (i < n && at(i) == U'$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && at(i) == U'0' && (at(i + 1) == U'x' || at(i + 1) == U'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return false;
    qint64 v = 0;
    for (; i < n; ++i) {
        const char32_t c = at(i);
        int d;
        if (c >= U'0' && c <= U'9')
            d = int(c - U'0');
        else if (base == 16 && c >= U'a' && c <= U'f')
            d = int(c - U'a') + 10;
        else if (base == 16 && c >= U'A' && c <= U'F')
            d = int(c - U'A') + 10;
        else
            return false;
        v = v * base + d;
        if (v > 0xFFFFFFFFLL)
            return false;
    }
    if (base == 10 && v > (negative ? 0x80000000LL : 0x7FFFFFFFLL))
        return false;
    if (base == 16 && v > 0x7FFFFFFFLL)
        v -= 0x100000000LL; // hexadecimal texts are 32-bit patterns
    value = negative ? -v : v;
    return true;
}
} // namespace

bool parseInteger(QStringView text, qint64& value)
{
    return parseIntegerImpl(text, value);
}

qint64 readFileInteger(QByteArrayView text)
{
    qint64 v = 0;
    if (!parseInteger(text, v))
        throw invalidIntegerError(QString::fromLatin1(text));
    return v;
}

bool parseInteger(QByteArrayView text, qint64& value)
{
    return parseIntegerImpl(text, value);
}

} // namespace veltry
