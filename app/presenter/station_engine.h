#pragma once
// The window's link to the real server: the station with its engine thread,
// lines, store and decoding.

#include <memory>
#include <string>

#include "app/presenter/engine_link.h"
#include "config/event_sink.h"
#include "config/settings.h"
#include "line/trace_options.h"

namespace tillgate {

// Builds the station from the loaded settings and launches its engine
// thread. The automatic start is left to the window. Notable events go to
// `events` when given (it must outlive the link). The store keeps its
// journal in `state_folder` (empty: none), where status.json is written too
// when the settings are installed; the ports in `trace` are traced into
// trace.folder.
std::unique_ptr<EngineLink> MakeStationEngine(const Settings& settings, EventSink* events = nullptr,
                                              const std::string& state_folder = std::string(),
                                              const TraceOptions& trace = {});

}  // namespace tillgate
