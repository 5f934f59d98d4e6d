// turfwar-datagen: writes the game's default data set into a folder: the car
// file, the car and wheel meshes, the player, gun and sky models, and every
// texture they and the game name. All of it is made procedurally by our own
// writers; the same car file always gives byte-identical output.
//
//   turfwar-datagen OUTDIR [--car FILE]
//
// FILE (default: the car.txt of the game's data folder, found as the game
// finds it, so an installed tool needs no build tree) holds the car's eleven
// numbers; it is copied to OUTDIR/car.txt and the car meshes are fitted to it.
// Exit status: 0 on success, 1 when the car file is unusable or a file cannot
// be written, 2 for bad arguments.

#include "app/data_folder.h"
#include "assets/data_file.h"
#include "tools/datagen/datagen.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    CLI::App app{"Writes Turfwar's default game data (models, textures, car file) into a folder."};
    std::string outDir;
    std::string carFile;
    bool quiet = false;
    app.add_option("OUTDIR", outDir, "folder to write into (created when missing)")->required();
    app.add_option("--car", carFile,
                   "the car file whose eleven numbers the car meshes fit (default: car.txt in the game's data "
                   "folder, found as the game finds it)");
    app.add_flag("-q,--quiet", quiet, "print nothing on success");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    if (carFile.empty()) {
        const DataFolderSearch search = findDataFolder(std::nullopt, processDataFolderPlaces());
        if (!search.folder) {
            std::cerr << "turfwar-datagen: cannot find the game's data to take its car.txt from; name a car file "
                         "with --car FILE. Looked in:\n";
            for (const std::filesystem::path& place : search.looked)
                std::cerr << "  " << printableName(place.string()) << "\n";
            return 1;
        }
        carFile = (*search.folder / "car.txt").string();
    }

    std::string reason;
    const std::optional<std::vector<std::uint8_t>> carBytes = readDataFile(carFile.c_str(), &reason);
    if (!carBytes) {
        std::cerr << "turfwar-datagen: cannot read the car file " << carFile << ": " << reason << "\n";
        return 1;
    }
    const std::string carText(carBytes->begin(), carBytes->end());
    const CarFileResult car = parseCarParams(carText, carFile);
    if (!car.params) {
        std::cerr << "turfwar-datagen: " << car.reason << "\n";
        return 1;
    }

    namespace fs = std::filesystem;
    std::size_t totalBytes = 0;
    const std::vector<datagen::GeneratedFile> files = datagen::generateGameData(*car.params, carText);
    for (const datagen::GeneratedFile& file : files) {
        const fs::path path = fs::path(outDir) / file.path;
        std::error_code error;
        fs::create_directories(path.parent_path(), error);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
        out.close();
        if (!out) {
            std::cerr << "turfwar-datagen: cannot write " << path.string() << "\n";
            return 1;
        }
        totalBytes += file.bytes.size();
    }
    if (!quiet)
        std::cout << "turfwar-datagen: wrote " << files.size() << " files (" << totalBytes << " bytes) into "
                  << outDir << "\n";
    return 0;
}
