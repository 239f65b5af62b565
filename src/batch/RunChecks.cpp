#include "batch/RunChecks.h"

#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <system_error>

#include "results/ResultsTable.h"
#include "results/RunFileNames.h"

namespace quendra {

namespace fs = std::filesystem;

namespace {

bool samePlace(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) return true;
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

// Why `folder` can neither be written into nor made, in the system's words where it has them;
// nothing when it exists as a folder this process may write into, or can be made.
std::optional<std::string> folderProblem(const fs::path& folder) {
    std::error_code ec;
    const fs::path wanted = fs::absolute(folder, ec);
    fs::path existing = wanted;
    while (!existing.empty() && !fs::exists(existing, ec)) {
        if (ec) return ec.message();  // a link loop, a folder on the way it may not search
        existing = existing.parent_path();
    }
    if (!fs::is_directory(existing, ec))
        return existing == wanted ? "it exists and is not a folder"
                                  : existing.string() + " is not a folder";
    if (::access(existing.c_str(), W_OK | X_OK) != 0)
        return std::error_code(errno, std::generic_category()).message();
    return std::nullopt;
}

// Whether a file begins as this program's tables do (a byte order mark an editor added
// aside), or is empty.
bool looksLikeTable(const fs::path& file) {
    const std::string start = tableStart();
    std::ifstream in(file, std::ios::binary);
    std::string begin(start.size() + 3, '\0');
    in.read(begin.data(), static_cast<std::streamsize>(begin.size()));
    begin.resize(static_cast<std::size_t>(in.gcount()));
    if (begin.rfind("\xEF\xBB\xBF", 0) == 0) begin.erase(0, 3);
    return start.compare(0, begin.size(), begin) == 0 || begin.rfind(start, 0) == 0;
}

struct Named {
    fs::path path;
    std::string what;
};

}  // namespace

RunFiles runFilesOf(const BatchOptions& o) {
    const std::string suffix = shardSuffix(o.shard, o.shards);
    const auto path = [&](RunFile file) { return fs::path(o.out) / runFileName(file, suffix); };
    return {o.csv.empty() ? path(RunFile::Table) : fs::path(o.csv),
            path(RunFile::Record),
            path(RunFile::Lock),
            path(RunFile::Report),
            suffix,
            path(RunFile::Stacks),
            path(RunFile::Canals),
            path(RunFile::ReportThumbnails),
            path(RunFile::Levels)};
}

std::optional<std::string> problemBeforeRun(const BatchOptions& o,
                                            const std::vector<BatchItem>& items,
                                            const RunFiles& files) {
    if (const auto why = folderProblem(o.out))
        return o.out + ": the output folder cannot be made or written: " + *why;
    const std::string table = files.table.string();
    std::error_code ec;
    if (const auto why = folderProblem(fs::absolute(files.table, ec).parent_path()))
        return table + ": the table's folder cannot be made or written: " + *why;
    if (fs::exists(files.table, ec)) {
        if (!fs::is_regular_file(files.table, ec))
            return table + ": the table's path is taken by something not a regular file";
        if (::access(files.table.c_str(), R_OK | W_OK) != 0)
            return table + ": the table cannot be written";
        const std::string name = files.table.filename().string();
        if (hasStemAndEnding(RunFile::Lock, name))
            return table + ": the table would replace a lock file of quendra-batch";
    }

    std::vector<Named> read{{o.classes, "the colour-class file"}};
    if (!o.scale.empty()) read.push_back({o.scale, "the scale file"});
    const Named written[] = {
        {files.table, "the table"},          {files.record, "the run record"},
        {files.lock, "the lock file"},       {files.stacks, "the stacks' table"},
        {files.canals, "the canals' table"}, {files.levels, "the levels' table"}};
    for (const Named& w : written) {
        for (const Named& r : read)
            if (samePlace(w.path, r.path))
                return w.path.string() + ": " + w.what + " would replace " + r.what;
        if (&w != &written[0] && samePlace(files.table, w.path))
            return table + ": the table would replace " + w.what;
    }
    if (o.report && samePlace(files.table, files.report))
        return table + ": the table would replace the report";
    for (const BatchItem& item : items)
        if (samePlace(files.table, item.path))
            return table + ": the table would replace the input " + item.path;

    const RunOutputs outputs(items);
    if (const BatchItem* writer = outputs.writerOf(files.table))
        return table + ": the table would replace an output of " + writer->path;
    for (const Named& r : read)
        if (const BatchItem* writer = outputs.writerOf(r.path))
            return r.path.string() + ": " + r.what + " would be replaced by an output of " +
                   writer->path;
    for (const BatchItem& input : items)
        if (const BatchItem* writer = outputs.writerOf(input.path))
            return input.path + ": this input would be replaced by an output of " + writer->path +
                   "; leave it out or choose another --out";
    if (fs::exists(files.table, ec) && !looksLikeTable(files.table))
        return table +
               ": holds something else than a table of quendra-batch, which a run never "
               "replaces; choose another --csv";
    return std::nullopt;
}

std::vector<std::string> sparseClassWarnings(const std::string& classFile,
                                             const ColorClassifier& classifier) {
    std::vector<std::string> warnings;
    for (const SparseClass& c : sparseClasses(classColours(classifier)))
        warnings.push_back(classFile + ": the class " +
                           (c.colorClass == ClassEnamel ? "enamel" : "gum") + " has only " +
                           std::to_string(c.colours) + " trained colours, fewer than the " +
                           std::to_string(c.quorum) +
                           " the vote needs, so nothing of it is found; train more colours of "
                           "it (a larger rectangle)");
    return warnings;
}

}  // namespace quendra
