#include "bench/DocumentGenerator.h"

#include <cstdio>

namespace kestrun::bench {

std::string ProgramName(int number)
{
    char name[32];
    std::snprintf(name, sizeof name, "Program %05d", number);
    return name;
}

namespace {

void AppendTask(std::string& xml, int index, const char* type, const std::string& value)
{
    xml += "<task index=\"" + std::to_string(index) + "\"><type>" + type + "</type><value>" + value +
           "</value><enabled>True</enabled></task>";
}

}  // namespace

std::string GenerateDocument(int programs, int tasks)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<programs xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                      "xsi:noNamespaceSchemaLocation=\"Kestrun.xsd\">"
                      "<program><name>Kestrun Template</name><tasks>";
    AppendTask(xml, 1, "Open File", "");
    xml += "</tasks></program>";
    for (int p = 0; p < programs; ++p) {
        xml += "<program><name>" + ProgramName(p) + "</name><tasks>";
        for (int t = 1; t <= tasks; ++t) {
            switch (t % 3) {
            case 0: AppendTask(xml, t, "Open File", "/usr/bin/xterm"); break;
            case 1: AppendTask(xml, t, "Wait", std::to_string(t % 10)); break;
            default: AppendTask(xml, t, "Keystrokes", "Hello {ENTER}%{F4}"); break;
            }
        }
        xml += "</tasks></program>";
    }
    return xml + "</programs>\n";
}

}  // namespace kestrun::bench
