// IndentedJsonWriter: a scan's result document written straight into its text, exactly as
// QString::fromUtf8(QJsonDocument(tree).toJson()) reads for the same tree. Building the tree
// first held the document three times over (tree, UTF-8 text, UTF-16 text).
#pragma once

#include <QString>
#include <vector>

namespace pellanor::scan {

class IndentedJsonWriter final {
public:
    // A measuring writer keeps no text, only its length, so that the real one can be sized
    // once: growing a document of tens of megabytes step by step leaves copies behind.
    enum class Mode { Write, Measure };
    explicit IndentedJsonWriter(Mode mode = Mode::Write) : m_measuring(mode == Mode::Measure) {}

    // Room for `length` characters, as a measuring writer gave it.
    void reserve(qsizetype length) { m_text.reserve(static_cast<int>(length)); }

    // The caller writes one object or array; keys of an object must come sorted, as Qt's
    // writer sorts them. Misuse (a value without a key inside an object) is not checked.
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    void key(const char* name);
    void value(const QString& text);
    // Exact for magnitudes up to 2^53, as every size and time is (Qt writes a double).
    void value(qint64 number);

    // Characters written (or measured) so far.
    qsizetype length() const { return m_measuring ? m_length : m_text.size(); }
    // The finished document (with the final line break); the writer is empty afterwards.
    QString take();

private:
    void put(QLatin1String text);
    void put(QChar c);
    void putString(const QString& text);
    void beforeValue();
    void indent(std::size_t depth);
    void close(char bracket);

    bool m_measuring = false;
    qsizetype m_length = 0;
    QString m_text;
    std::vector<int> m_counts;  // values written so far in each open container
    bool m_afterKey = false;
};

// The document `write(writer)` writes, measured first and then written into text of its exact
// size. `write` runs twice and must write the same both times.
template <typename Write>
QString writtenDocument(const Write& write) {
    IndentedJsonWriter measure(IndentedJsonWriter::Mode::Measure);
    write(measure);
    IndentedJsonWriter writer;
    writer.reserve(measure.length());
    write(writer);
    return writer.take();
}

}  // namespace pellanor::scan
