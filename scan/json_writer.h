// IndentedJsonWriter: a scan's result document written straight into its text, exactly as
// QString::fromUtf8(QJsonDocument(tree).toJson()) reads for the same tree. Building the tree
// first held the document three times over (tree, UTF-8 text, UTF-16 text).
#pragma once

#include <QString>
#include <vector>

namespace pellanor::scan {

class IndentedJsonWriter final {
public:
    // The caller writes one object or array; keys of an object must come sorted, as Qt's
    // writer sorts them. Misuse (a value without a key inside an object) is not checked.
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    void key(const char* name);
    void value(const QString& text);
    void value(qint64 number);

    // The finished document (with the final line break); the writer is empty afterwards.
    QString take();

private:
    void beforeValue();
    void indent(std::size_t depth);
    void close(char bracket);

    QString m_text;
    std::vector<int> m_counts;  // values written so far in each open container
    bool m_afterKey = false;
};

// `text` quoted and escaped as Qt's JSON writer writes a string, appended to `out`.
void appendJsonString(QString& out, const QString& text);

}  // namespace pellanor::scan
