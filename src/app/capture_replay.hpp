#pragma once

#include "dataset/ixo_data.hpp"
#include "instrument/parent_reader.hpp"

#include <memory>
#include <string>

namespace vantrel {

inline constexpr std::size_t replay_block_size = 4096;

// Replays a raw capture through the reader of the device file's model into
// the data set, as a later conversion of an acquisition. `reader` is
// replaced by the new reader as soon as the model is known, so that it
// keeps the replayed bytes (for a raw save) even when the replay fails.
// The data set keeps its file name, CTD data and water blank; its records,
// wavelengths and channel layout become those of the capture.
// `trace`, when given, receives the decoder's traces.
void replay_capture(IXO_Data& ds, std::unique_ptr<parent_reader>& reader, const std::string& capture_path,
                    const std::string& device_path, std::shared_ptr<diagnostic_sink> trace = nullptr);

// Feeds a capture file to the reader in blocks of 4096 bytes; the last block
// holds the rest and is fed even when empty. A file that cannot be opened
// feeds nothing. A damaged record is skipped and the replay goes on.
void feed_capture(parent_reader& reader, const std::string& capture_path);

// Gives the data set the wavelengths, header lines and channel layout of
// the device file in use, as a file written from these records needs.
void take_device_layout(IXO_Data& ds, const devfile& device);

} // namespace vantrel
