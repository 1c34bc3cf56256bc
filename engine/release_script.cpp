#include "release_script.h"

#include "errors.h"
#include "script_splitter.h"
#include "update.h"

namespace xqv {

namespace {

bool Blank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// True when every byte from 0x80 up belongs to a well-formed UTF-8 sequence and there is at
// least one such sequence. Russian Windows-1251 text practically never reads so: its lower-case
// letters are UTF-8 lead bytes that would need continuation bytes after them.
bool ReadsAsUtf8(std::string_view text) {
    bool multiByte = false;
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        multiByte = multiByte || length > 1;
        i += length;
    }
    return multiByte;
}

bool NotWindows1251(std::string_view script) {
    // 0x98 is the one byte the code page leaves undefined.
    if (script.find('\0') != std::string_view::npos ||
        script.find('\x98') != std::string_view::npos)
        return true;
    return script.substr(0, 3) == "\xEF\xBB\xBF" || ReadsAsUtf8(script);
}

size_t LineOf(std::string_view script, const char* at) {
    size_t line = 1;
    for (const char* c = script.data(); c < at; ++c)
        line += *c == '\n';
    return line;
}

} // namespace

std::string ReleaseScriptFault(std::string_view text) {
    size_t first = 0;
    while (first < text.size() && Blank(text[first]))
        ++first;
    if (first == text.size()) return "пустой";
    if (NotWindows1251(text)) return "записан не в кодировке Windows-1251";

    script::StatementSplitter splitter(text);
    script::Statement statement, last;
    bool any = false;
    while (splitter.Next(statement)) {
        last = statement;
        any = true;
    }
    if (!any) return "не содержит ни одного оператора";
    if (!last.terminated || last.openComment)
        return "обрывается посреди оператора, начатого в строке " +
               std::to_string(LineOf(text, last.text.data()));
    return "";
}

void CheckReleaseScript() {
    const std::string fault = ReleaseScriptFault(LoadResourceBytes("script", "TEXT"));
    if (!fault.empty())
        throw Error("Скрипт обновления базы данных, встроенный в программу обновления, " + fault +
                    ". Обновление не начато, ничего не изменено.");
}

} // namespace xqv
