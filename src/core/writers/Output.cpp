#include "core/writers/Output.h"

void OutputWriter::finding(const Finding&, const OutputFn&) {}

void OutputWriter::surveyTree(const SurveyRun&, std::size_t, const OutputFn&) {}

bool OutputWriter::keepsSurveyFindings(const SurveyRun&) const { return true; }

const std::vector<OutputFormatEntry>& OutputFormats() {
    static const std::vector<OutputFormatEntry> formats = {
        {OutputFormat::Text, "text", MakeTextWriter},
        {OutputFormat::Json, "json", MakeJsonWriter},
        {OutputFormat::Html, "html", MakeHtmlWriter},
        {OutputFormat::Csv, "csv", MakeCsvWriter},
    };
    return formats;
}

const OutputFormatEntry* FindOutputFormat(std::string_view name) {
    for (const OutputFormatEntry& entry : OutputFormats())
        if (name == entry.name) return &entry;
    return nullptr;
}

std::unique_ptr<OutputWriter> MakeOutputWriter(OutputFormat format) {
    for (const OutputFormatEntry& entry : OutputFormats())
        if (entry.format == format) return entry.make();
    return MakeTextWriter();
}

std::string OutputFormatNames(const char* last) {
    const std::vector<OutputFormatEntry>& formats = OutputFormats();
    std::string names;
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (i > 0) names += i + 1 == formats.size() ? std::string(" ") + last + " " : ", ";
        names += formats[i].name;
    }
    return names;
}
