// Extraction of files from a cabinet archive held in memory, through the
// FDI interface of the system's cabinet.dll (loaded at run time from the
// system directory). Stored and MSZIP-compressed archives are read.
#ifndef INSTALLER_BRAND_CAB_EXTRACTOR_H_
#define INSTALLER_BRAND_CAB_EXTRACTOR_H_

#include <cstddef>
#include <map>
#include <string>

namespace lite_installer {

// File name in the archive to file bytes.
using CabFiles = std::map<std::string, std::string>;

// Extracts the file named |wanted_name| (exact byte comparison), or every
// file when |wanted_name| is empty, into |files|. Returns false when
// cabinet.dll or its functions are unavailable or the archive is damaged;
// |files| may then hold the files completed before the damage.
bool ExtractFilesFromCab(const void* data, size_t size,
                         const std::string& wanted_name, CabFiles* files);

}  // namespace lite_installer

#endif  // INSTALLER_BRAND_CAB_EXTRACTOR_H_
