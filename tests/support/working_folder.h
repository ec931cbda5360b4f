// A folder made current for the life of the object; the folder the test
// started in is current again after it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

class WorkingFolder {
public:
    // A fresh temporary folder, removed with all it holds at the end.
    WorkingFolder() : owned_(true) {
        std::string pattern = (std::filesystem::temp_directory_path() / "working-folder-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
        folder_ = pattern;
        std::filesystem::current_path(folder_);
    }
    // A folder that someone else keeps.
    explicit WorkingFolder(std::filesystem::path folder) : folder_(std::move(folder)) {
        std::filesystem::current_path(folder_);
    }
    ~WorkingFolder() {
        std::filesystem::current_path(start_);
        if (owned_) std::filesystem::remove_all(folder_);
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    const std::filesystem::path& path() const { return folder_; }

private:
    const std::filesystem::path start_ = std::filesystem::current_path();
    std::filesystem::path folder_;
    bool owned_ = false;
};
