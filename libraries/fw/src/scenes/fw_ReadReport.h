#pragma once
// The warnings of one reading of a scene description or a mesh: the first kMaxWarnings are
// logged, the rest only counted and summed up in one line when the report ends. What a
// warning quotes from the file is quoted as QuoteFileText does.

#include <cstddef>
#include <string>
#include <string_view>

#include "fw_SceneServices.h"
#include "platform/file_text.h"

class fw_ReadReport {
public:
    static constexpr int kMaxWarnings = 100;

    // what: the file as the summary line names it ("Scene description ./data/x.xml").
    explicit fw_ReadReport(std::string what) : mWhat(std::move(what)) {}
    ~fw_ReadReport() {
        if (mDropped > 0)
            fw_SceneServices::Warning(mWhat + ": " + std::to_string(mDropped) + " more warnings not shown");
    }
    fw_ReadReport(const fw_ReadReport&) = delete;
    fw_ReadReport& operator=(const fw_ReadReport&) = delete;

    // Logs the warning, or only counts it once kMaxWarnings are logged.
    void Warn(const std::string& text) {
        if (mWritten >= kMaxWarnings) {
            ++mDropped;
            return;
        }
        ++mWritten;
        fw_SceneServices::Warning(text);
    }
    // A name from the file in quotation marks, its control characters escaped, cut to
    // kMaxQuotedBytes at a character boundary ("..." inside the marks when cut).
    static std::string Quote(std::string_view name) { return "\"" + QuoteFileText(name) + "\""; }

private:
    std::string mWhat;
    int mWritten = 0;
    int mDropped = 0;
};
