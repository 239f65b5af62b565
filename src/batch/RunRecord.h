#pragma once

// The run record (run.json): the settings, the inputs and how the run ended. It is written
// when the run starts, with "status": "running", and again when it ends, each time replacing
// the whole file at once, so an interrupted run can be told from a finished one:
//   "running"      the run is going on, or its process was killed outright;
//   "finished"     every input was taken in turn (problems, if any, are listed);
//   "interrupted"  SIGINT or SIGTERM stopped it; the table holds every finished frame;
//   "stopped"      the table could not be written (a full disk) and the run ended early.

#include <string>
#include <vector>

#include "batch/BatchInputs.h"
#include "batch/BatchOptions.h"

namespace quendra {

struct RunOutcome {
    std::string status = "running";
    std::size_t itemsDone = 0;
    std::size_t framesDone = 0;
    std::vector<std::string> problems;
    int exitStatus = -1;     // not yet known while running
    int classThreshold = 0;  // the class threshold the colour classes were used with
};

// The record as JSON text; every name in it is UTF-8 as the table writes it.
std::string runRecordText(const BatchOptions& options, const std::vector<BatchItem>& items,
                          const RunOutcome& outcome);

// The problems a record names; none when it cannot be read.
std::vector<std::string> problemsOf(const std::string& recordText);

// Whether the record of an earlier run (its text) has the settings and inputs of this one, as a
// resumed run must; otherwise `difference` says what differs.
bool sameRun(const std::string& recordText, const BatchOptions& options,
             const std::vector<BatchItem>& items, std::string& difference);

}  // namespace quendra
