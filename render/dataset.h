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
#include "render/job_pool.h"
#include "render/options.h"

#include <string>
#include <vector>

namespace quillo::render {

// The notes a dataset plays when given no MIDI file.
extern const std::vector<int> kDatasetNotes;

std::vector<Job> datasetJobs(const Options& options);

// Writes DIR/manifest.csv and DIR/manifest.jsonl for the items rendered. Throws
// UserError.
void writeManifests(const std::string& folder, const std::vector<Job>& jobs,
                    const PoolOutcome& outcome);

} // namespace quillo::render
