#ifndef JSONTEXTWRITER_H
#define JSONTEXTWRITER_H

// JSON text written as it is produced, in the layout of QJsonDocument::toJson(QJsonDocument::Indented),
// byte for byte, without building a QJsonDocument first: the JSON form of a map, the patch list's rows
// and the diff report. The layout, as Qt writes it:
//   - four spaces per level; a member is `"key": value`; members and elements one per line;
//   - an empty array is "[" line break, indentation, "]", an empty object likewise;
//   - the document ends with a line break;
//   - strings escape `"` `\` and \b \f \n \r \t as such, other code units below 0x20 as \u00xx (lower-case
//     hexadecimal) and an unpaired surrogate as \udxxx; everything else, U+007F included, is raw UTF-8;
//   - numbers: see real() and integer().
// The writer does not sort keys: callers give the members of an object in byte order of their keys, as
// QJsonObject holds them.
//
// Text goes to a QIODevice in blocks of 64 KiB, or, without a device, into text().
//
// Internal to the library and its tool; the header is not installed.

#include <QByteArray>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1String>
#include <QLocale>
#include <QString>
#include <QVariant>

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

class JsonTextWriter
{
public:
    explicit JsonTextWriter(QIODevice *device = nullptr) : m_device(device) { m_text.reserve(BlockBytes + 4096); }

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    // The key of the next member; its value follows.
    void key(QLatin1String name)
    {
        separate();
        m_text += '"';
        m_text.append(name.data(), int(name.size()));
        m_text += "\": ";
        m_afterKey = true;
    }
    void key(const QString &name)
    {
        separate();
        appendString(name);
        m_text += ": ";
        m_afterKey = true;
    }

    void null()
    {
        separate();
        m_text += "null";
        written();
    }
    void boolean(bool value)
    {
        separate();
        m_text += value ? "true" : "false";
        written();
    }
    // A whole number as Qt writes a qint64: its decimal digits.
    void integer(qint64 value)
    {
        separate();
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        m_text.append(digits, int(end - digits));
        written();
    }
    // A finite double as Qt writes it (non-finite values have no JSON number): zero as 0; an integral value
    // of magnitude up to 2^53 (Qt 6) or below 2^64 (Qt 5) in fixed notation, otherwise the shortest text
    // that reads back as the same double, QByteArray::number(value, 'g', QLocale::FloatingPointShortest).
    void real(double value)
    {
        separate();
        appendReal(m_text, value);
        written();
    }
    void string(const QString &value)
    {
        separate();
        appendString(value);
        written();
    }
    void string(QLatin1String value)
    {
        separate();
        m_text += '"';
        m_text.append(value.data(), int(value.size())); // callers pass plain ASCII without escapes
        m_text += '"';
        written();
    }
    // Any value of Qt's JSON classes, objects and arrays with all they hold.
    void value(const QJsonValue &value)
    {
        switch (value.type()) {
        case QJsonValue::Null:
        case QJsonValue::Undefined:
            null();
            break;
        case QJsonValue::Bool:
            boolean(value.toBool());
            break;
        case QJsonValue::Double:
            number(value);
            break;
        case QJsonValue::String:
            string(value.toString());
            break;
        case QJsonValue::Array: {
            beginArray();
            const QJsonArray array = value.toArray();
            for (const QJsonValue &element : array)
                this->value(element);
            endArray();
            break;
        }
        case QJsonValue::Object: {
            beginObject();
            const QJsonObject object = value.toObject();
            for (auto it = object.begin(); it != object.end(); ++it) {
                key(it.key());
                this->value(it.value());
            }
            endObject();
            break;
        }
        }
    }

    // Ends the document with its line break and hands the rest of the text to the device. False when the
    // device refused any of it.
    bool finish()
    {
        m_text += '\n';
        flush();
        return !m_failed;
    }

    // The text so far, for a writer without a device.
    QByteArray &text() { return m_text; }

    // The string the JSON form gives a real that no JSON number can carry: "nan", "inf" or "-inf".
    // Every writer of such a real takes it from here. `value` must not be finite.
    static QLatin1String nonFiniteName(double value)
    {
        if (std::isnan(value))
            return QLatin1String("nan");
        return value > 0 ? QLatin1String("inf") : QLatin1String("-inf");
    }

    // The text of `value` as real() writes it.
    static void appendReal(QByteArray &out, double value)
    {
        const double magnitude = std::fabs(value);
        if (value == 0) { // -0.0 too: Qt keeps a zero as the integer 0
            out += '0';
            return;
        }
        const bool integral = value == std::floor(value);
        if (integral && magnitude <= 9007199254740992.0) { // 2^53: every such double is its own digits
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, qint64(value)).ptr;
            out.append(digits, int(end - digits));
            return;
        }
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        if (integral && magnitude < 18446744073709551616.0) { // 2^64
            out += QByteArray::number(value, 'f', QLocale::FloatingPointShortest);
            return;
        }
#endif
        // The shortest digits that read back as `value`, laid out here where the layout is plain: a value
        // with a fraction and digits before the point, or one below 1 with at most two zeros after the
        // point. Qt chooses between fixed and exponent notation by length elsewhere, so it lays those out.
        char buffer[40];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific).ptr;
        const char *p = buffer;
        const bool negative = *p == '-';
        p += negative;
        char digits[20];
        int count = 0;
        for (; p < end && *p != 'e'; ++p) {
            if (*p != '.')
                digits[count++] = *p;
        }
        int exponent = 0;
        std::from_chars(p + 1 + (p[1] == '+'), end, exponent);
        const int point = exponent + 1; // digits before the decimal point
        if (integral || point < -2) {
            out += QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
            return;
        }
        if (negative)
            out += '-';
        if (point > 0) {
            out.append(digits, point);
            out += '.';
            out.append(digits + point, count - point);
        } else {
            out += "0.";
            out.append(-point, '0');
            out.append(digits, count);
        }
    }

    // `value` as a JSON string: quoted, escaped as Qt escapes.
    void appendString(const QString &value)
    {
        static const char hex[] = "0123456789abcdef";
        m_text += '"';
        const QChar *chars = value.constData();
        const int size = int(value.size());
        for (int i = 0; i < size; ++i) {
            const char16_t unit = chars[i].unicode();
            if (unit < 0x80) {
                if (unit >= 0x20 && unit != '"' && unit != '\\') {
                    m_text += char(unit);
                    continue;
                }
                m_text += '\\';
                switch (unit) {
                case '"':
                case '\\':
                    m_text += char(unit);
                    break;
                case '\b':
                    m_text += 'b';
                    break;
                case '\f':
                    m_text += 'f';
                    break;
                case '\n':
                    m_text += 'n';
                    break;
                case '\r':
                    m_text += 'r';
                    break;
                case '\t':
                    m_text += 't';
                    break;
                default:
                    m_text += "u00";
                    m_text += hex[unit >> 4];
                    m_text += hex[unit & 15];
                }
            } else if (unit < 0x800) {
                m_text += char(0xc0 | (unit >> 6));
                m_text += char(0x80 | (unit & 0x3f));
            } else if (QChar::isHighSurrogate(unit) && i + 1 < size && chars[i + 1].isLowSurrogate()) {
                const char32_t code = QChar::surrogateToUcs4(unit, chars[++i].unicode());
                m_text += char(0xf0 | (code >> 18));
                m_text += char(0x80 | ((code >> 12) & 0x3f));
                m_text += char(0x80 | ((code >> 6) & 0x3f));
                m_text += char(0x80 | (code & 0x3f));
            } else if (QChar::isSurrogate(unit)) {
                m_text += "\\u";
                for (int shift = 12; shift >= 0; shift -= 4)
                    m_text += hex[(unit >> shift) & 15];
            } else {
                m_text += char(0xe0 | (unit >> 12));
                m_text += char(0x80 | ((unit >> 6) & 0x3f));
                m_text += char(0x80 | (unit & 0x3f));
            }
        }
        m_text += '"';
    }

private:
    static constexpr int BlockBytes = 64 * 1024;

    // What precedes a value or a key: nothing after a key; a comma after an earlier element; then the
    // line break and indentation of the element's level.
    void separate()
    {
        if (m_afterKey) {
            m_afterKey = false;
            return;
        }
        if (m_levels.empty())
            return;
        if (m_levels.back())
            m_text += ',';
        m_levels.back() = true;
        m_text += '\n';
        m_text.append(int(m_levels.size()) * 4, ' ');
    }
    void written()
    {
        if (m_device && m_text.size() >= BlockBytes)
            flush();
    }
    void open(char bracket)
    {
        separate();
        m_text += bracket;
        m_levels.push_back(false);
    }
    void close(char bracket)
    {
        m_levels.pop_back();
        m_text += '\n';
        m_text.append(int(m_levels.size()) * 4, ' ');
        m_text += bracket;
        written();
    }
    void number(const QJsonValue &value)
    {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        const QVariant variant = value.toVariant(); // Qt 6 keeps whole numbers as qint64
        if (variant.userType() == QMetaType::LongLong) {
            integer(variant.toLongLong());
            return;
        }
#endif
        real(value.toDouble());
    }
    void flush()
    {
        if (!m_device)
            return;
        if (!m_failed && m_device->write(m_text) != m_text.size())
            m_failed = true;
        m_text.resize(0);
    }

    QIODevice *m_device;
    QByteArray m_text;
    std::vector<bool> m_levels; // per open object or array: whether it has an element yet
    bool m_afterKey = false;
    bool m_failed = false;
};

#endif // JSONTEXTWRITER_H
