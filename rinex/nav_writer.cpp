// The navigation file of one receiver: its name, the header, then one record per distinct
// ephemeris (GPS, Galileo, GLONASS), every write checked; the messages and the outcome.
#include "rinex/nav_writer.h"

#include <string>

#include "output/output_file.h"
#include "platform/utf8_files.h"
#include "rinex/line.h"
#include "rinex/naming.h"
#include "rinex/nav_header.h"
#include "rinex/nav_records.h"

WriterOutcome write_navigation_file(int32_t receiver_index, const VxpDataStore& store,
                                    const NavigationFileSettings& settings, const WriterContext& context) {
    const std::string name = settings.observation_epochs != nullptr
                                 ? make_rinex_file_name(true, receiver_index, *settings.observation_epochs)
                                 : make_rinex_file_name(true, receiver_index, store, settings.epochs);
    if (name.size() < RINEX_SHORTEST_FILE_NAME) {
        WriterOutcome outcome;
        outcome.status = WriterOutcome::Status::skipped;
        outcome.file_name = name;
        return outcome;
    }
    const std::string path = path_in_folder(
        settings.output_folder, compressed_file_name(name, settings.compression, /*observation=*/false));
    OutputFile file;
    if (!file.open(path, OutputFile::kSystemBuffer, file_compression(settings.compression)))
        return file.failure();

    context.messages.line("Writing RINEX nav file for GNSS id " + std::to_string(receiver_index) + "... ");

    for (const std::string& line : navigation_header_lines(receiver_index, store, settings, context)) {
        if (!write_rinex_line(file, line, true))
            break;
    }
    for (const EphemerisRef& entry : build_ephemeris_list(receiver_index, store)) {
        const std::string text = entry.system == EphemerisSystem::glonass
                                     ? glonass_record_text(*entry.glonass)
                                     : kepler_record_text(*entry.kepler, entry.system);
        if (!write_rinex_line(file, text, true))
            break;
    }
    if (!file.close())
        return file.failure();
    context.messages.line("done.");
    WriterOutcome outcome;
    outcome.file_name = path;
    return outcome;
}
