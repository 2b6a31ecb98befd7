#pragma once

#include "store/core/TaskMerge.h"

// The sync runs the list's three-way merge against the server: the list is "local", the
// server's to-dos "remote".
namespace veltry::sync {

using threeway::Agreed;
using threeway::assignUids;
using threeway::discountRoundTrips;
using threeway::kConflictSuffix;
using threeway::LoggedTask;
using threeway::makeUid;
using threeway::merge;
using threeway::MergeResult;
using threeway::Removal;
using threeway::RemoteChange;
using threeway::sameContent;
using threeway::TaskRow;
using threeway::uidOf;
using threeway::Upload;

} // namespace veltry::sync
