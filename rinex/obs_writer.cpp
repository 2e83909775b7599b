// The observation file of one receiver: its name, the file itself, the messages and the outcome
// of every way it can end. The header is written by obs_header.cpp, the epochs by obs_epochs.cpp.
#include "rinex/obs_writer.h"

#include <string>

#include "output/output_file.h"
#include "platform/utf8_files.h"
#include "rinex/compact/crx_encoder.h"
#include "rinex/gnss_time.h"
#include "rinex/naming.h"
#include "rinex/obs_writer_internal.h"

namespace {

// Write buffer of the file: few, large writes for logs of millions of epochs.
constexpr std::size_t kFileBufferSize = 1 << 20;

}  // namespace

ObservationFileStream::ObservationFileStream(int32_t receiver_index, const EpochTally& tally,
                                             const VxpDataStore& sites,
                                             const ObservationFileSettings& settings,
                                             const WriterContext& context)
    : receiver_index_(receiver_index), tally_(tally), sites_(sites), settings_(settings), context_(context) {}

ObservationFileStream::~ObservationFileStream() = default;

bool ObservationFileStream::begin() {
    const std::string name =
        make_rinex_file_name(false, receiver_index_, tally_, settings_.period ? &*settings_.period : nullptr);
    if (name.size() < RINEX_SHORTEST_FILE_NAME) {
        outcome_.status = WriterOutcome::Status::skipped;
        return false;
    }
    const std::string path = path_in_folder(
        settings_.output_folder, compressed_file_name(name, settings_.compression, /*observation=*/true));
    outcome_.file_name = path;

    out_ = std::make_unique<OutputFile>();
    if (!out_->open(path, kFileBufferSize, file_compression(settings_.compression))) {
        outcome_ = out_->failure();
        out_.reset();
        return false;
    }
    if (compact_observations(settings_.compression))
        compact_ = std::make_unique<CompactRinexEncoder>(context_.program, crinex_creation_stamp());
    lines_ = std::make_unique<RinexLines>(*out_, compact_.get());
    context_.messages.line("Writing RINEX obs file for GNSS id " + std::to_string(receiver_index_) + "... ");

    SignalPresence signals;
    const HeaderEnd header_end = write_observation_header(
        *lines_, receiver_index_, tally_, collect_glonass_slots(receiver_index_, sites_),
        settings_.header_values, settings_.observables, context_, signals);
    content_error_ = header_end == HeaderEnd::content_error;
    if (header_end != HeaderEnd::complete)
        return false;
    epochs_ = std::make_unique<EpochRecords>(*lines_, receiver_index_, sites_, signals, settings_.observables,
                                             settings_.header_values, settings_.epochs, tally_.first());
    return true;
}

bool ObservationFileStream::add_epoch(const RawObservation* observations, std::size_t count) {
    if (epochs_ == nullptr || write_failed_)
        return false;
    write_failed_ = !epochs_->add(observations, count);
    return !write_failed_;
}

WriterOutcome ObservationFileStream::finish() {
    if (out_ == nullptr)
        return outcome_;
    epochs_.reset();
    lines_->finish();
    const bool closed = out_->close();
    if (!closed) {
        outcome_ = out_->failure();
    } else if (content_error_) {
        outcome_.status = WriterOutcome::Status::content_error;
    } else {
        context_.messages.line("done.");
    }
    lines_.reset();
    compact_.reset();
    out_.reset();
    return outcome_;
}

WriterOutcome write_observation_file(int32_t receiver_index, const VxpDataStore& store,
                                     const ObservationFileSettings& settings, const WriterContext& context) {
    if (receiver_index < 0 || receiver_index >= kReceiverCount) {
        WriterOutcome outcome;
        outcome.status = WriterOutcome::Status::skipped;
        return outcome;
    }
    const Sequence<RawEpoch>& epochs = store.receiver_raw_epochs(receiver_index);
    EpochTally tally(settings.epochs);
    for (const RawEpoch& epoch : epochs)
        tally.add(epoch.data(), epoch.size());
    ObservationFileStream file(receiver_index, tally, store, settings, context);
    if (file.begin()) {
        for (const RawEpoch& epoch : epochs) {
            if (!file.add_epoch(epoch.data(), epoch.size()))
                break;
        }
    }
    return file.finish();
}
