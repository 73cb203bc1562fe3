#ifndef MAPBYTESOURCE_H
#define MAPBYTESOURCE_H

// The input of the subset reader as UTF-8 bytes, delivered in blocks and readable twice (once to
// check the document, once to parse it): a file read through a QIODevice, or the text of
// loadFromText encoded block by block straight into the reader's buffer. Neither holds the whole
// document as bytes.

#include <QString>
#include <QtGlobal>

class QIODevice;

class MapByteSource
{
public:
    virtual ~MapByteSource() = default;

    // Copies the next bytes into `destination`, at most `capacity` (at least 1); a read may end
    // inside a character. Returns the number copied, 0 at the end, or -1 when the input cannot be
    // read or cannot be given as UTF-8.
    virtual qint64 read(char *destination, qint64 capacity) = 0;
    // Starts again from the first byte. False when the input cannot be read again.
    virtual bool rewind() = 0;
};

// A device that is open for reading and random access. The device is not owned.
class DeviceByteSource final : public MapByteSource
{
public:
    explicit DeviceByteSource(QIODevice &device);
    qint64 read(char *destination, qint64 capacity) override;
    bool rewind() override;

private:
    QIODevice &device;
};

// A string, encoded as UTF-8 as it is read: runs of ASCII 16 code units at a time, other characters
// one by one. An unpaired surrogate has no UTF-8 form: the read that comes to it returns the bytes
// before it, and the next one fails, so that the document goes to QXmlSimpleReader exactly when the
// subset reader reads that far. The string is not copied and must outlive the source.
class StringByteSource final : public MapByteSource
{
public:
    explicit StringByteSource(const QString &text);
    qint64 read(char *destination, qint64 capacity) override;
    bool rewind() override;

private:
    const QString &text;
    qsizetype position = 0;
    // The bytes of a character that a read cut, still to be delivered.
    char pending[4] = {};
    int pendingBegin = 0;
    int pendingEnd = 0;
};

#endif // MAPBYTESOURCE_H
