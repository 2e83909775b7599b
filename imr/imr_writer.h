// NovAtel IMR inertial file: 512-byte header, then one 32-byte record per IMU time tag.
#pragma once

#include <string>

#include "output/writer_outcome.h"
#include "store/vxp_data_store.h"

WriterOutcome write_imr_file(std::string file_name, VxpDataStore& store);
