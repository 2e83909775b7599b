// The observation file of one receiver: its name, the file itself, the messages and the outcome
// of every way it can end. The header is written by obs_header.cpp, the epochs by obs_epochs.cpp.
#include "rinex/obs_writer.h"

#include <string>

#include "output/output_file.h"
#include "platform/utf8_files.h"
#include "rinex/naming.h"
#include "rinex/obs_writer_internal.h"

namespace {

// Write buffer of the file: few, large writes for logs of millions of epochs.
constexpr std::size_t kFileBufferSize = 1 << 20;

}  // namespace

WriterOutcome write_observation_file(int32_t receiver_index, const VxpDataStore& store,
                                     const ObservationFileSettings& settings, const WriterContext& context) {
    const ObsHeaderValues& header_values = settings.header_values;
    WriterOutcome outcome;
    const std::string name = make_rinex_file_name(false, receiver_index, store, settings.epochs);
    if (name.size() < RINEX_SHORTEST_FILE_NAME) {
        outcome.status = WriterOutcome::Status::skipped;
        return outcome;
    }
    const std::string path = path_in_folder(settings.output_folder, name);
    outcome.file_name = path;

    OutputFile out;
    if (!out.open(path, kFileBufferSize))
        return out.failure();

    context.messages.line("Writing RINEX obs file for GNSS id " + std::to_string(receiver_index) + "... ");

    SignalPresence signals;
    const HeaderEnd header_end = write_observation_header(out, receiver_index, store, header_values, context,
                                                          signals, settings.epochs);
    if (header_end == HeaderEnd::complete)
        write_observation_epochs(out, receiver_index, store, signals, header_values, settings.epochs);
    if (!out.close())
        return out.failure();
    if (header_end == HeaderEnd::content_error) {
        outcome.status = WriterOutcome::Status::content_error;
        return outcome;
    }
    context.messages.line("done.");
    return outcome;
}
