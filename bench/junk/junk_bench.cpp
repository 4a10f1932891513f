// junk_bench items        prints the junk list of the profile the environment points at
// junk_bench size <folder> prints the recursive size of <folder>
#include <QString>
#include <QTextStream>

#include <cstring>

#include "clean/folder_size.h"
#include "clean/junk_categories.h"

int main(int argc, char** argv) {
    QTextStream out(stdout);
    if (argc == 2 && std::strcmp(argv[1], "items") == 0) {
        out << pellanor::getPrivacyItems();
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "size") == 0) {
        out << pellanor::computeFolderSize(QString::fromLocal8Bit(argv[2])) << '\n';
        return 0;
    }
    QTextStream(stderr) << "usage: junk_bench items | junk_bench size <folder>\n";
    return 2;
}
