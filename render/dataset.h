// --dataset DIR --count K: K random patches over one MIDI file or the built-in
// notes, each in its own file with its sidecar, and manifests that map every file
// to its parameters and notes:
//
//   manifest.csv    file,seed,notes,peak_dbfs,Wave1,Fine1,...  (normalised values)
//   manifest.jsonl  {"file": "0000.wav", "seed": ..., "notes": "48,60,72",
//                    "peak_dbfs": -9.2, "parameters": {"Wave1": 0.74, ...},
//                    "texts": {"Wave1": "Sine", ...}}
//
// Item i draws with itemSeed(SEED, i) (see random_patch.h), which its sidecar and the
// manifests record: --random-params with that seed renders the item alone.
#pragma once

#include "render/job.h"
#include "render/options.h"
#include "render/output_target.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillo::render {

// The notes a dataset plays when given no MIDI file.
extern const std::vector<int> kDatasetNotes;

// The items, each made when it is wanted: a dataset of millions never holds them all.
class Dataset {
  public:
    explicit Dataset(const Options& options);
    size_t size() const { return count_; }
    Job item(size_t index) const;

  private:
    Options item_; // what every item shares
    std::string folder_;
    std::string input_;
    uint64_t seed_;
    size_t count_;
    int digits_; // of the file names
    const char* extension_;
};

// DIR/manifest.csv and DIR/manifest.jsonl, a line for each item rendered, in the
// items' order whatever order they end in; in place once finish() is called.
class Manifests {
  public:
    explicit Manifests(const std::string& folder); // throws UserError
    // One item's end; result is null when it failed.
    void add(size_t index, const Job& job, const JobResult* result);
    // Throws UserError, for this or for a write that failed before.
    void finish();

  private:
    using Lines = std::optional<std::pair<std::string, std::string>>; // CSV, JSON
    std::unique_ptr<OutputTarget> csv_, json_;
    std::string header_;
    std::map<size_t, Lines> waiting_; // ended before an item ahead of them
    size_t next_ = 0;
    std::string error_;
};

} // namespace quillo::render
