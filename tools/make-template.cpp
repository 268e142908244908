// Writes the report catalogue as a report file without rows (xml/template.xml), straight from
// the engine's report builders so that it cannot drift from them.
#include <cstdio>

#include "engine/report/ReportTemplate.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-template <output.xml>\n");
        return 2;
    }
    if (!WriteReportTemplate(argv[1])) {
        std::fprintf(stderr, "make-template: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
