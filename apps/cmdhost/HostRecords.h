// The command host's three records (job, status, last log text) and its run states.
//
// The runner fills them as plain structs (UTF-8 texts, cut to the record's room in
// characters); CHostPublisher keeps them for other programs in their byte layouts
// (tavhost/HostRecords.h), guarded by their named locks.
#pragma once
#include "tavhost/HostRecords.h"

namespace cmdhost {

using tavhost::HostJobRecord;
using tavhost::HostLogRecord;
using tavhost::HostStatusRecord;

using tavhost::RUN_STATE_CANCELLED;
using tavhost::RUN_STATE_FINISHED;
using tavhost::RUN_STATE_NONE;
using tavhost::RUN_STATE_PREPARED;
using tavhost::RUN_STATE_STARTED;

using tavhost::IMAGE_PATH_CHARS;
using tavhost::JOB_KIND_CHARS;
using tavhost::LOG_TEXT_CHARS;
using tavhost::PROGRESS_ITEM_CHARS;
using tavhost::PROGRESS_TITLE_CHARS;
using tavhost::START_TEXT_CHARS;
using tavhost::TYPE_TITLE_CHARS;

using tavhost::CutChars;

}  // namespace cmdhost
