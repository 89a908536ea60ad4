#pragma once

#include "acquire/LvLogFile.h"
#include "app/LvSettings.h"
#include "image/LvImage.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

// The batch runs without their windows: the folder scan, the fifty effects of the batch effect, and one
// runner for the three kinds of run (effects, format, colour depth) that the dialogs and `lumivue-cli batch`
// share.

// The completion message a batch worker posts to its dialog, wParam = the outcome.
const unsigned WM_BATCH_DONE = 0x0400 + 1002;

enum LvBatchOutcome {
    kLvBatchDone = 0,     // every file done
    kLvBatchFailed = 1,   // at least one file could not be read or written
    kLvBatchStopped = 2,  // stopped by the user
    kLvBatchNoFile = 3,   // no file matched
    kLvBatchNoEffect = 4, // no effect chosen (effect runs only)
};

// The text shown (and logged) for an outcome; empty for any other value.
const char* LvBatchMessage(int outcome);
// The text of the batch effect dialog's "Remark".
extern const char* const kLvBatchRemark;

// ---- the folder scan ----

// The type flags of a scan: one per format code 0 to 10, 1 = take files of that type.
const int kLvBatchTypeCount = 11;

// folder + the separator + "*.*".
std::string LvBatchPattern(const std::string& folder);
// Appends the image files matching pattern (a folder, a separator and "*.*") in the order the file system
// lists them; with recurse a subfolder's files come where the subfolder is met. Only the eleven image
// extensions are taken (compared upper-cased); with flags only those whose format code's flag is 1 (EMF has
// code 0). Links to folders (and junctions) are not followed, so a scan always ends.
void CollectImageFiles(std::vector<std::string>& list, const std::string& pattern, bool recurse,
                       const int* flags = nullptr);

// ---- the effects of the batch effect ----

struct LvBatchEffect {
    int id;
    const char* name;      // the list's text
    const char* operation; // the operation table's entry it runs; null for the thumbnail
    const char* config;    // the effect whose stored values give its arguments, or null
};

const int kLvBatchEffectCount = 50;
// The fifty effects in list order; row i has id i.
const LvBatchEffect* LvBatchEffects();
// Applies effect id to the image with its stored values read from settings now; path is the file the image
// came from (the thumbnail's caption reads its camera data). An id outside 0 to 49 applies nothing. The
// operation's own result.
bool LvApplyBatchEffect(int id, CLvImage& image, const CLvSettings& settings, const std::string& path);

// ---- the runner ----

enum LvBatchKind { kLvBatchEffects, kLvBatchFormat, kLvBatchColor };

// One step of an effect run's chain.
struct LvBatchStep {
    std::string name; // shown on the effect bar
    std::function<void(CLvImage& image, const std::string& path)> apply;
};

struct LvBatchJob {
    LvBatchKind kind = kLvBatchEffects;
    std::vector<LvBatchStep> steps; // effects
    DWORD targetFormat = LVFMT_BMP; // format
    BYTE jpegQuality = 80;
    int xDpi = 100, yDpi = 100;
    DWORD gifOption = 0, tiffOption = 0;
    int depth = 24; // colour: 1, 4, 8 or 24
    // Tests put a failing stream between the writer and the file with this.
    CLvImage::StreamFilter writeFilter = nullptr;
    void* writeFilterUser = nullptr;
};

// The file a source file is written to: itself, or for a format run the same name with the target format's
// upper-case extension ("photo.bmp" to JPEG gives "photo.JPG").
std::string LvBatchTarget(const LvBatchJob& job, const std::string& path);
// The first log line of a run over count files.
std::string LvBatchHeader(const LvBatchJob& job, int count);

// What a run reports while it goes. Calls come one at a time, from the runner's threads.
class LvBatchProgress {
public:
    virtual ~LvBatchProgress() = default;
    // File number (from 1) of count has been read and is being worked on.
    virtual void File(int /*number*/, int /*count*/, const std::string& /*path*/) {}
    // Step number (from 1) of count begins on the current file.
    virtual void Step(int /*number*/, int /*count*/, const std::string& /*name*/) {}
};

// Works through files (already collected, in scan order) and returns kLvBatchDone, kLvBatchFailed or
// kLvBatchStopped. stop is polled before every file and every step: a file whose chain was cut is still
// written, and no file is begun after it. Every write goes through a temporary file, so a failed one
// leaves the file as it was. A file that cannot be read or written gets a log line "path : reason" (in
// scan order whatever jobs is). jobs files are worked on at a time; each file's random effects start from
// the same seed, so the files, the log and the outcome do not depend on jobs.
int LvRunBatchFiles(const LvBatchJob& job, const std::vector<std::string>& files, CLogFile* log,
                    const std::atomic<int>& stop, LvBatchProgress* progress = nullptr, int jobs = 1);

// A whole run as the dialogs start it: scan, the checks for no effect (effect runs) and no file, the
// header line, the files. The outcome; files receives the collected paths.
int LvRunBatch(const LvBatchJob& job, const std::string& folder, bool recurse, const int* flags, CLogFile* log,
               const std::atomic<int>& stop, LvBatchProgress* progress, std::vector<std::string>& files, int jobs = 1);

// The steps of an effect run from effect ids, each reading its stored values from settings per file.
std::vector<LvBatchStep> LvBatchEffectSteps(const std::vector<int>& ids, const CLvSettings& settings);
