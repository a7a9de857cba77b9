// A converter library for tests. It reads a job format of our own:
//
//   TABULON-TEST-JOB
//   product=notavia|pellora|stakora
//   version=1250
//   point=NAME,CODE,NORTH,EAST,ELEVATION   (any number)
//   inspect-result=0                 converter_InspectFile's result (default 1)
//   inspect-version=0                the version it reports (default: version)
//   translate-result=0               converter_TranslatePlus's result (default 1)
//   translate-writes=no              succeed without writing the Surmex file
//   reduction-errors=3               lines with a reduction error in the Surmex file
//   output-encoding=utf16            write the Surmex file as UTF-16LE with a byte-order mark
//
// The library's own product is the name of the folder it was loaded from. Every call is logged,
// one line of tab-separated key=value fields, to the file named by TABULON_TEST_CONVERTER_LOG;
// every record field that differs from what the program must pass adds a "fault" line.

#include "convert/ConverterExports.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Job
{
    bool valid = false;
    std::string product;
    int version = 0;
    std::map<std::string, std::string> settings;
    std::vector<std::string> points;

    std::string setting(const std::string& name, const std::string& fallback) const
    {
        const auto found = settings.find(name);
        return found == settings.end() ? fallback : found->second;
    }
    int number(const std::string& name, int fallback) const
    {
        const auto found = settings.find(name);
        return found == settings.end() ? fallback : std::atoi(found->second.c_str());
    }
};

Job readJob(const char* path)
{
    Job job;
    std::ifstream in(path ? path : "");
    std::string line;
    if (!std::getline(in, line) || line.rfind("TABULON-TEST-JOB", 0) != 0)
        return job;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "point")
            job.points.push_back(value);
        else
            job.settings[key] = value;
    }
    job.product = job.setting("product", "");
    job.version = job.number("version", 0);
    job.valid = true;
    return job;
}

std::string ownProduct()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&ownProduct), &info) || !info.dli_fname)
        return {};
    std::string path = info.dli_fname;
    path = path.substr(0, path.rfind('/'));
    return path.substr(path.rfind('/') + 1);
}

class Log
{
public:
    explicit Log(const char* call) { m_line << call << "\tproduct=" << ownProduct(); }
    ~Log()
    {
        const char* path = std::getenv("TABULON_TEST_CONVERTER_LOG");
        if (!path)
            return;
        if (FILE* file = std::fopen(path, "a")) {
            std::fprintf(file, "%s\n", m_line.str().c_str());
            for (const std::string& fault : m_faults)
                std::fprintf(file, "fault\t%s\n", fault.c_str());
            std::fclose(file);
        }
    }
    template <typename T>
    void field(const char* name, const T& value)
    {
        m_line << '\t' << name << '=' << value;
    }
    void check(bool ok, const std::string& what)
    {
        if (!ok)
            m_faults.push_back(ownProduct() + ": " + what);
    }

private:
    std::ostringstream m_line;
    std::vector<std::string> m_faults;
};

bool allZero(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}

// Checks the fields the program must set, and that the folder is a NUL-terminated text with
// nothing but zeros after it.
std::string checkRecord(Log& log, const char* which, const ConverterFileRecord* record, unsigned typeCode, int version,
                        unsigned roleCode)
{
    const std::string name = which;
    log.check(record != nullptr, name + " record missing");
    if (!record)
        return {};
    log.check(record->structSize == 298, name + " structSize " + std::to_string(record->structSize));
    log.check(record->typeCode == typeCode, name + " typeCode " + std::to_string(record->typeCode));
    log.check(record->version == version, name + " version " + std::to_string(record->version));
    log.check(record->roleCode == roleCode, name + " roleCode " + std::to_string(record->roleCode));
    log.check(allZero(record->reserved13, sizeof record->reserved13), name + " reserved13 not zero");
    log.check(allZero(record->reserved16, sizeof record->reserved16), name + " reserved16 not zero");
    log.check(record->padding == 0, name + " padding not zero");
    const void* end = std::memchr(record->folder, 0, sizeof record->folder);
    log.check(end != nullptr, name + " folder not NUL-terminated");
    if (!end)
        return {};
    const std::size_t length = static_cast<const char*>(end) - record->folder;
    log.check(allZero(record->folder + length, sizeof record->folder - length), name + " bytes after folder");
    return std::string(record->folder, length);
}

[[maybe_unused]] void writeOutput(const Job& job, const char* outputPath)
{
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"" << (job.setting("output-encoding", "") == "utf16" ? "UTF-16" : "UTF-8")
        << "\"?>\n";
    xml << "<SurmexJob version=\"3.2\">\n";
    xml << "  <Environment><Application>" << job.product << "</Application><JobVersion>" << job.version
        << "</JobVersion></Environment>\n";
    xml << "  <Points>\n";
    for (const std::string& point : job.points) {
        std::string fields[5];
        std::istringstream in(point);
        for (std::string& field : fields)
            std::getline(in, field, ',');
        xml << "    <Point><Name>" << fields[0] << "</Name><Code>" << fields[1] << "</Code><Grid><North>" << fields[2]
            << "</North><East>" << fields[3] << "</East><Elevation>" << fields[4] << "</Elevation></Grid></Point>\n";
    }
    xml << "  </Points>\n";
    for (int i = 0; i < job.number("reduction-errors", 0); ++i)
        xml << "  <Reductions error=\"grid file missing\" station=\"" << i + 1 << "\"/>\n";
    xml << "</SurmexJob>\n";

    std::ofstream out(outputPath, std::ios::binary);
    const std::string text = xml.str();
    if (job.setting("output-encoding", "") != "utf16") {
        out << text;
        return;
    }
    // The job format is ASCII, so each byte is one UTF-16 code unit.
    out << '\xff' << '\xfe';
    for (const char c : text)
        out << c << '\0';
}

} // namespace

#ifndef TEST_CONVERTER_TRANSLATE_ONLY
EXPORT std::int16_t TABULON_CONVERTER_CALL converter_InspectFile(char* jobPath, ConverterFileRecord* record,
                                                                 char* buffer, std::int32_t bufferLength)
{
    Log log("inspect");
    log.field("job", jobPath ? jobPath : "(null)");
    log.field("bufferLength", bufferLength);
    checkRecord(log, "inspection", record, 0, 0, 0);
    log.check(bufferLength == 32, "buffer length");
    log.check(buffer != nullptr, "buffer missing");
    if (buffer && bufferLength >= 0) {
        // The whole buffer, terminator included: a short one shows under AddressSanitizer.
        std::memset(buffer, 'x', std::size_t(bufferLength));
        buffer[bufferLength] = '\0';
    }

    const Job job = readJob(jobPath);
    if (!job.valid || job.product != ownProduct()) {
        log.field("result", 0);
        return 0;
    }
    const int result = job.number("inspect-result", 1);
    const int version = job.number("inspect-version", job.version);
    if (record)
        record->version = static_cast<std::int16_t>(version);
    log.field("result", result);
    log.field("version", version);
    return static_cast<std::int16_t>(result);
}
#endif

#ifndef TEST_CONVERTER_INSPECT_ONLY
EXPORT std::int16_t TABULON_CONVERTER_CALL
converter_TranslatePlus(char* languageFile, char* jobPath, ConverterFileRecord* jobRecord, char* outputPath,
                        ConverterFileRecord* outputRecord, ConverterCallback firstCallback,
                        ConverterCallback secondCallback, ConverterCallback thirdCallback, std::int32_t reserved)
{
    Log log("translate");
    const Job job = readJob(jobPath);
    const int expectedOutputVersion = ownProduct() == "pellora" ? -503 : 1;
    log.field("language", languageFile ? languageFile : "(null)");
    log.field("job", jobPath ? jobPath : "(null)");
    log.field("output", outputPath ? outputPath : "(null)");
    log.field("jobVersion", jobRecord ? jobRecord->version : 0);
    log.field("outputVersion", outputRecord ? outputRecord->version : 0);
    const std::string folder = checkRecord(log, "job", jobRecord, 7, job.number("inspect-version", job.version), 1);
    log.field("folder", folder);
    const std::string outputFolder = checkRecord(log, "output", outputRecord, 29, expectedOutputVersion, 2);
    log.check(outputFolder.empty(), "output folder not empty");
    log.check(job.valid, "job file not readable");
    log.check(reserved == 0, "last argument not 0");
    log.check(firstCallback && secondCallback && thirdCallback, "callback missing");
    if (firstCallback)
        log.check(firstCallback() == 0, "first callback did not return 0");
    if (secondCallback)
        secondCallback();
    if (thirdCallback)
        thirdCallback();

    if (job.setting("translate-writes", "yes") != "no" && outputPath)
        writeOutput(job, outputPath);
    const int result = job.number("translate-result", 1);
    log.field("result", result);
    return static_cast<std::int16_t>(result);
}
#endif
