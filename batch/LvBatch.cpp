#include "batch/LvBatch.h"

#include "app/LvEffectConfig.h"
#include "app/LvPhotoInfo.h"
#include "effects/LvOperations.h"
#include "effects/LvRandom.h"
#include "formats/LvCodecJPG.h"
#include "image/LvFileExt.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#ifdef _WIN32
#include "image/LvWideText_win.h"
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        c = char(toupper(static_cast<unsigned char>(c)));
    return text;
}

// One entry of a folder listing.
struct FolderEntry {
    std::string name;
    bool folder;
};

// The entries of a folder in the order the file system gives them, "." and ".." left out. Links to folders
// count as files (they are never entered), so a link back up the tree cannot make a scan endless.
std::vector<FolderEntry> ListFolder(const std::string& folder) {
    std::vector<FolderEntry> entries;
#ifdef _WIN32
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(LvUtf8ToWide(folder + "\\*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return entries;
    do {
        const std::string name = LvWideToUtf8(found.cFileName);
        if (name == "." || name == "..") continue;
        const DWORD a = found.dwFileAttributes;
        entries.push_back({name, (a & FILE_ATTRIBUTE_DIRECTORY) != 0 && (a & FILE_ATTRIBUTE_REPARSE_POINT) == 0});
    } while (FindNextFileW(search, &found));
    FindClose(search);
#else
    DIR* dir = opendir(folder.empty() ? "/" : folder.c_str());
    if (!dir) return entries;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st;
        const bool isFolder = lstat((folder + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        entries.push_back({name, isFolder});
    }
    closedir(dir);
#endif
    return entries;
}

std::string NameOfPath(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A file name as the file system compares it: Windows ignores the case of names.
std::string SameFileKey(const std::string& path) {
#ifdef _WIN32
    return Upper(path);
#else
    return path;
#endif
}

} // namespace

const char* LvBatchMessage(int outcome) {
    switch (outcome) {
    case kLvBatchDone:
        return "Batch building Done succefully!";
    case kLvBatchFailed:
        return "There's error in the batch building procedure, please check the log file for detail.";
    case kLvBatchStopped:
        return "User canceled the batch building";
    case kLvBatchNoFile:
        return "No file matched in the folder!";
    case kLvBatchNoEffect:
        return "No effect selected!";
    default:
        return "";
    }
}

const char* const kLvBatchRemark =
    "\n\tYou can batch build your images of a folder and subfolders.\n\n\tIf the funcions you selected have "
    "parameters, Lumivue use the value that you used last time. \n\n\tFor exemple, you Select "
    "\"Trans->Rotate\" menu, then Rotate the image, so Lumivue will remember the parameter, and if you batch "
    "images of Rotating effect, Lumivue will use that parameter.";

// ---- the folder scan ----

std::string LvBatchPattern(const std::string& folder) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder + "*.*";
    return folder + kLvPathSeparator + "*.*";
}

void CollectImageFiles(std::vector<std::string>& list, const std::string& pattern, bool recurse, const int* flags) {
    // The folder part keeps its separator: the pattern less "*.*".
    const std::string prefix = pattern.size() >= 3 ? pattern.substr(0, pattern.size() - 3) : std::string();
    const std::string folder = prefix.size() > 1 ? prefix.substr(0, prefix.size() - 1) : prefix;
    for (const FolderEntry& entry : ListFolder(folder)) {
        if (entry.folder) {
            if (recurse) CollectImageFiles(list, LvBatchPattern(prefix + entry.name), recurse, flags);
            continue;
        }
        const std::string ext = Upper(GetFileExt(entry.name));
        if (!IsSupportedExt(ext)) continue;
        if (flags && flags[GetTypeFromExt(ext)] != 1) continue;
        list.push_back(prefix + entry.name);
    }
}

// ---- the effects of the batch effect ----

namespace {

enum { kIdRotate = 23, kIdResize = 26, kIdWindy = 41, kIdThumbnail = 49 };

const LvBatchEffect kEffects[kLvBatchEffectCount] = {
    {0, "Grayscale", "gray", nullptr},
    {1, "Negative", "negative", nullptr},
    {2, "Rotate Left", "rotate-left", nullptr},
    {3, "Rotate Right", "rotate-right", nullptr},
    {4, "Rotate 180", "rotate-180", nullptr},
    {5, "Mirror", "mirror", nullptr},
    {6, "Flip", "flip", nullptr},
    {7, "Roberts Edge Detect", "roberts", nullptr},
    {8, "Prewitt Edge Detect", "prewitt", nullptr},
    {9, "Sobel Edge Detect", "sobel", nullptr},
    {10, "Isotropic Edge Detect", "isotropic-sobel", nullptr},
    {11, "Laplacian 4 Edge Detect", "laplacian-4", nullptr},
    {12, "Laplacian 8 Edge Detect", "laplacian-8", nullptr},
    {13, "Iteration Threshold", "iteration-threshold", nullptr},
    {14, "Ostu Threshold", "otsu-threshold", nullptr},
    {15, "Pencil Drawing", "pencil-drawing", nullptr},
    {16, "Crayon", "crayon", nullptr},
    {17, "Old Photo", "old-photo", nullptr},
    {18, "Sepia", "sepia", nullptr},
    {19, "Blur", "box-smooth", nullptr},
    {20, "Gauss Smooth", "gauss-smooth", nullptr},
    {21, "Exposure", "exposure", nullptr},
    {22, "Correct Histogram", "correct-histogram", nullptr},
    {23, "Rotate to Any Angle", "rotate", "Rotate"},
    {24, "Add Image Edge", "add-edge", "Add Edge"},
    {25, "Erase Image Edge", "erase-edge", "Erase Edge"},
    {26, "Resize", "resize", "Resize"},
    {27, "Adjust Light and Contrast", "light", "Adjust Light"},
    {28, "Adjust H/S/L", "hsl", "Adjust HSL"},
    {29, "Adjust R/G/B", "rgb", "Adjust RGB"},
    {30, "Adjust Gamma", "gamma", "Adjust Gamma"},
    {31, "Soften", "soften", "Soften"},
    {32, "Sharpen", "sharpen", "Sharpen"},
    {33, "Emboss", "emboss", "Emboss"},
    {34, "Carve", "carve", "Carve"},
    {35, "Local Threshold", "local-threshold", "LocalThreshold"},
    {36, "Mosaic", "mosaic", "Mosaic"},
    {37, "Noise", "noise", "Noise"},
    {38, "Dither", "dither", "Dither"},
    {39, "Colorize", "colorize", "Colorize"},
    {40, "Jitter", "jitter", "Jitter"},
    {41, "Windy", "windy", "Windy"},
    {42, "Stripe", "stripe", "Stripe"},
    {43, "Cone", "cone", "Concave"},
    {44, "Project", "project", "Project"},
    {45, "Sphere", "sphere", "Sphere"},
    {46, "Cylinder", "cylinder", "Cylinder"},
    {47, "Ellipse", "ellipse", nullptr},
    {48, "Photo Shadow", "shadow", nullptr},
    {49, "Thumbnail", nullptr, "Thumbnail"},
};

// The thumbnail of the thumbnail command with the stored percentage, caption and camera data.
bool ApplyThumbnail(CLvImage& image, const CLvEffectConfig& config, const std::string& path) {
    std::unique_ptr<CLvCodecJPG> jpeg;
    if (config.Number("Exif") != 0 && image.GetFormat() == LVFMT_JPG) {
        CLvFileStream stream(path.c_str(), "rb");
        if (stream.IsOpen()) {
            jpeg.reset(new CLvCodecJPG);
            if (!jpeg->ReadExif(&stream)) jpeg.reset();
        }
    }
    const std::string caption = LvThumbnailCaption(config.Text("Mark"), jpeg ? &jpeg->m_exifinfo : nullptr);
    return LvComposeThumbnail(image, config.Number("Percentage"), caption, 20);
}

} // namespace

const LvBatchEffect* LvBatchEffects() {
    return kEffects;
}

bool LvApplyBatchEffect(int id, CLvImage& image, const CLvSettings& settings, const std::string& path) {
    if (id < 0 || id >= kLvBatchEffectCount) return false;
    const LvBatchEffect& effect = kEffects[id];
    std::unique_ptr<CLvEffectConfig> config;
    if (effect.config) {
        config.reset(new CLvEffectConfig(effect.config));
        config->Read(settings);
    }
    if (id == kIdThumbnail) return ApplyThumbnail(image, *config, path);
    const LvOperation* op = LvFindOperation(effect.operation);
    if (!op) return false;
    LvArgValue args[4];
    if (config) LvArgsFromConfig(*op, *config, args);
    if (id == kIdRotate && config->Number("Angle") == 0) return true;
    if (id == kIdResize && config->Number("Type") != 0) {
        // A percentage of both sides: the products as unsigned numbers times the single-precision 0.01.
        const uint32_t percent = uint32_t(config->Number("Percentage"));
        args[0] = {int32_t(float(uint32_t(image.GetWidth()) * percent) * 0.01f), false, true};
        args[1] = {int32_t(float(uint32_t(image.GetHeight()) * percent) * 0.01f), false, true};
    }
    // The batch always blows a smooth wind.
    if (id == kIdWindy) args[1] = {1, false, true};
    LvOpParams params;
    std::string error;
    if (!LvEncodeOperation(*op, args, &image, params, error)) return false;
    return LvRunOperation(*op, image, params, LvOpContext());
}

std::vector<LvBatchStep> LvBatchEffectSteps(const std::vector<int>& ids, const CLvSettings& settings) {
    std::vector<LvBatchStep> steps;
    for (int id : ids) {
        const bool known = id >= 0 && id < kLvBatchEffectCount;
        steps.push_back({known ? kEffects[id].name : "", [id, &settings](CLvImage& image, const std::string& path) {
                             LvApplyBatchEffect(id, image, settings, path);
                         }});
    }
    return steps;
}

// ---- the runner ----

std::string LvBatchTarget(const LvBatchJob& job, const std::string& path) {
    if (job.kind != kLvBatchFormat) return path;
    const size_t dot = path.find_last_of('.');
    return (dot == std::string::npos ? path : path.substr(0, dot)) + "." + GetExtFromType(job.targetFormat);
}

std::string LvBatchHeader(const LvBatchJob& job, int count) {
    char text[160];
    switch (job.kind) {
    case kLvBatchEffects:
        snprintf(text, sizeof(text), "There's %d files to be batch builded of %d effects, please wait...\n", count,
                 int(job.steps.size()));
        return text;
    case kLvBatchFormat:
        snprintf(text, sizeof(text), "There's %d files to be converted to ", count);
        return text + GetExtFromType(job.targetFormat);
    case kLvBatchColor:
        snprintf(text, sizeof(text), "There's %d files to be batch change color to %d Bpp\n", count, job.depth);
        return text;
    }
    return std::string();
}

namespace {

// What became of one file: empty when it was done, else the log line.
struct FileResult {
    bool finished = false;
    std::string failure;
};

class Runner {
public:
    Runner(const LvBatchJob& job, const std::vector<std::string>& files, CLogFile* log, const std::atomic<int>& stop,
           LvBatchProgress* progress)
        : m_job(job), m_files(files), m_log(log), m_stop(stop), m_progress(progress), m_results(files.size()) {
        for (const std::string& file : files)
            m_sources.insert(SameFileKey(file));
    }

    int Run(int jobs) {
        const size_t count = m_files.size();
        size_t threads = jobs < 1 ? 1 : size_t(jobs);
        if (threads > count) threads = count ? count : 1;
        std::vector<std::thread> workers;
        for (size_t i = 1; i < threads; i++)
            workers.emplace_back([this] { Work(); });
        Work();
        for (std::thread& worker : workers)
            worker.join();
        if (m_stop.load() != 0) return kLvBatchStopped;
        return m_failed ? kLvBatchFailed : kLvBatchDone;
    }

private:
    void Work() {
        for (;;) {
            if (m_stop.load() != 0) return;
            const size_t index = m_next.fetch_add(1);
            if (index >= m_files.size()) return;
            Finish(index, Process(index));
        }
    }

    // Records the file's result and logs every result that is now next in scan order.
    void Finish(size_t index, const std::string& failure) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_results[index].finished = true;
        m_results[index].failure = failure;
        while (m_logged < m_results.size() && m_results[m_logged].finished) {
            const FileResult& result = m_results[m_logged++];
            if (result.failure.empty()) continue;
            m_failed = true;
            if (m_log) m_log->WriteLog(result.failure);
        }
    }

    void Report(const std::function<void()>& call) {
        if (!m_progress) return;
        std::lock_guard<std::mutex> lock(m_progressMutex);
        call();
    }

    // The log line of a failed file, or empty.
    std::string Process(size_t index) {
        const std::string& path = m_files[index];
        const int count = int(m_files.size());
        CLvRandomScope random(1);
        CLvImage image;
        image.SetLastErrorText("");
        if (!image.Load(path.c_str(), GetTypeFromExt(Upper(GetFileExt(path))))) {
            const char* text = image.GetLastErrorText();
            return path + " : " + (*text ? text : "Can't open the file");
        }
        Report([&] { m_progress->File(int(index) + 1, count, path); });
        const std::string target = LvBatchTarget(m_job, path);
        switch (m_job.kind) {
        case kLvBatchEffects:
            for (size_t j = 0; j < m_job.steps.size(); j++) {
                if (m_stop.load() != 0) break;
                Report([&] { m_progress->Step(int(j) + 1, int(m_job.steps.size()), m_job.steps[j].name); });
                m_job.steps[j].apply(image, path);
            }
            break;
        case kLvBatchFormat:
            if (m_job.targetFormat == LVFMT_JPG) {
                image.SetJpegQuality(m_job.jpegQuality);
                image.SetXDPI(m_job.xDpi);
                image.SetYDPI(m_job.yDpi);
            } else if (m_job.targetFormat == LVFMT_GIF) {
                image.SetCodecOption(m_job.gifOption);
            } else if (m_job.targetFormat == LVFMT_TIF) {
                image.SetCodecOption(m_job.tiffOption);
            }
            // A.jpg to BMP would otherwise replace another picture of the run, a.bmp.
            if (SameFileKey(target) != SameFileKey(path) && m_sources.count(SameFileKey(target)))
                return path + " : " + NameOfPath(target) + " is another picture of this batch and was not replaced";
            break;
        case kLvBatchColor:
            LvChangeDepth(image, m_job.depth);
            break;
        }
        const DWORD format =
            m_job.kind == kLvBatchFormat ? m_job.targetFormat : GetTypeFromExt(Upper(GetFileExt(path)));
        image.SetLastErrorText("");
        if (image.Encode(target.c_str(), format, m_job.writeFilter, m_job.writeFilterUser)) return std::string();
        const char* text = image.GetLastErrorText();
        return path + " : " + (*text ? text : "Can't create the file");
    }

    const LvBatchJob& m_job;
    const std::vector<std::string>& m_files;
    CLogFile* m_log;
    const std::atomic<int>& m_stop;
    LvBatchProgress* m_progress;
    std::set<std::string> m_sources;
    std::atomic<size_t> m_next{0};
    std::mutex m_mutex, m_progressMutex;
    std::vector<FileResult> m_results;
    size_t m_logged = 0;
    bool m_failed = false;
};

} // namespace

int LvRunBatchFiles(const LvBatchJob& job, const std::vector<std::string>& files, CLogFile* log,
                    const std::atomic<int>& stop, LvBatchProgress* progress, int jobs) {
    Runner runner(job, files, log, stop, progress);
    return runner.Run(jobs);
}

int LvRunBatch(const LvBatchJob& job, const std::string& folder, bool recurse, const int* flags, CLogFile* log,
               const std::atomic<int>& stop, LvBatchProgress* progress, std::vector<std::string>& files, int jobs) {
    files.clear();
    CollectImageFiles(files, LvBatchPattern(folder), recurse, flags);
    if (job.kind == kLvBatchEffects && job.steps.empty()) return kLvBatchNoEffect;
    if (files.empty()) return kLvBatchNoFile;
    if (log) log->WriteLog(LvBatchHeader(job, int(files.size())));
    return LvRunBatchFiles(job, files, log, stop, progress, jobs);
}
