#include "tests/fuzz/memory_files.h"

#include <algorithm>
#include <cstring>
#include "store/button_table.h"

std::string MemoryFileSystem::Key(const char* path) {
    std::string key(path);
    for (char& c : key) {
        if (c == '/') c = '\\';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    while (key.size() > 1 && key.back() == '\\') key.pop_back();
    return key;
}

std::string MemoryFileSystem::Parent(const std::string& key) {
    const size_t slash = key.rfind('\\');
    return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

bool MemoryFileSystem::Fails(FaultPlan::Kind kind) {
    if ((plan.kinds & kind) == 0) return false;
    const bool fail = (plan.bits & 1u) != 0;
    plan.bits >>= 1;
    if (fail) injected |= kind;
    return fail;
}

// A file can only be made in a folder that exists; a bare name lives in the current folder.
bool MemoryFileSystem::ParentExists(const std::string& key) const {
    const std::string parent = Parent(key);
    return parent.empty() || folders_.count(parent) != 0;
}

MemoryFileSystem::OpenFile* MemoryFileSystem::Find(Handle file) {
    auto it = open_.find(reinterpret_cast<uintptr_t>(file));
    return it == open_.end() ? nullptr : &it->second;
}

void MemoryFileSystem::BeforeOverwrite(const std::string& key) {
    if (guarded_.count(key) == 0 || !onUncopiedOverwrite) return;
    auto it = files_.find(key);
    if (it == files_.end()) return;
    const std::vector<uint8_t>& bytes = it->second;
    if (bytes.empty() || bytes.size() == kButtonTableSize) return;
    for (int number = 1; number < 100; ++number) {
        const std::string copy = key + ".orig" + (number == 1 ? std::string() : std::to_string(number));
        auto found = files_.find(copy);
        if (found != files_.end() && found->second == bytes) return;
    }
    onUncopiedOverwrite(key);
}

FileSystem::Handle MemoryFileSystem::OpenRead(const char* path) {
    const std::string key = Key(path);
    if (files_.count(key) == 0 || unreadable_.count(key) != 0 || Fails(FaultPlan::OpenRead)) return nullptr;
    const uintptr_t handle = nextHandle_++;
    open_[handle] = OpenFile{key, 0, false};
    return reinterpret_cast<Handle>(handle);
}

FileSystem::Handle MemoryFileSystem::OpenWriteTruncate(const char* path) {
    const std::string key = Key(path);
    if (folders_.count(key) != 0 || !ParentExists(key) || Fails(FaultPlan::OpenWrite)) return nullptr;
    BeforeOverwrite(key);
    files_[key].clear();
    const uintptr_t handle = nextHandle_++;
    open_[handle] = OpenFile{key, 0, true};
    return reinterpret_cast<Handle>(handle);
}

bool MemoryFileSystem::CanOpenForWrite(const char* path) {
    const std::string key = Key(path);
    if (folders_.count(key) != 0 || !ParentExists(key) || Fails(FaultPlan::OpenWrite)) return false;
    files_[key];  // created empty when missing, left alone otherwise
    return true;
}

size_t MemoryFileSystem::Read(Handle file, void* buffer, size_t size) {
    OpenFile* open = Find(file);
    if (open == nullptr || open->writable) return 0;
    auto it = files_.find(open->key);
    if (it == files_.end() || open->position >= it->second.size()) return 0;
    size_t n = std::min(size, it->second.size() - open->position);
    if (Fails(FaultPlan::ShortRead)) n /= 2;
    std::memcpy(buffer, it->second.data() + open->position, n);
    open->position += n;
    return n;
}

size_t MemoryFileSystem::Write(Handle file, const void* data, size_t size) {
    OpenFile* open = Find(file);
    if (open == nullptr || !open->writable) return 0;
    auto it = files_.find(open->key);
    if (it == files_.end()) return 0;  // deleted while open
    size_t n = size;
    if (Fails(FaultPlan::ShortWrite)) n /= 2;
    std::vector<uint8_t>& bytes = it->second;
    if (bytes.size() < open->position + n) bytes.resize(open->position + n);
    if (n != 0) std::memcpy(bytes.data() + open->position, data, n);
    open->position += n;
    return n;
}

bool MemoryFileSystem::Flush(Handle file) {
    OpenFile* open = Find(file);
    return open != nullptr && !Fails(FaultPlan::Flush);
}

bool MemoryFileSystem::Close(Handle file) {
    if (open_.erase(reinterpret_cast<uintptr_t>(file)) == 0) return false;
    return !Fails(FaultPlan::Close);
}

bool MemoryFileSystem::Exists(const char* path) {
    const std::string key = Key(path);
    return files_.count(key) != 0 || folders_.count(key) != 0;
}

bool MemoryFileSystem::FileSize(const char* path, uint64_t* size) {
    auto it = files_.find(Key(path));
    if (it == files_.end()) return false;
    *size = it->second.size();
    return true;
}

bool MemoryFileSystem::CreateDirectory(const char* path) {
    const std::string key = Key(path);
    if (files_.count(key) != 0 || folders_.count(key) != 0 || !ParentExists(key)) return false;
    if (Fails(FaultPlan::CreateFolder)) return false;
    folders_.insert(key);
    return true;
}

bool MemoryFileSystem::CopyFile(const char* from, const char* to, bool overwrite) {
    const std::string source = Key(from);
    const std::string target = Key(to);
    auto it = files_.find(source);
    if (it == files_.end() || folders_.count(target) != 0 || !ParentExists(target)) return false;
    if (!overwrite && files_.count(target) != 0) return false;
    if (Fails(FaultPlan::Copy)) return false;
    BeforeOverwrite(target);
    const std::vector<uint8_t> bytes = it->second;
    files_[target] = bytes;
    return true;
}

bool MemoryFileSystem::DeleteFile(const char* path) {
    const std::string key = Key(path);
    if (files_.count(key) == 0 || Fails(FaultPlan::Delete)) return false;
    BeforeOverwrite(key);
    files_.erase(key);
    return true;
}

bool MemoryFileSystem::RemoveDirectory(const char* path) {
    const std::string key = Key(path);
    if (folders_.count(key) == 0) return false;
    const std::string prefix = key + "\\";
    for (const auto& file : files_) {
        if (file.first.compare(0, prefix.size(), prefix) == 0) return false;
    }
    for (const std::string& folder : folders_) {
        if (folder.compare(0, prefix.size(), prefix) == 0) return false;
    }
    if (Fails(FaultPlan::Delete)) return false;
    folders_.erase(key);
    return true;
}

bool MemoryFileSystem::ReplaceFile(const char* from, const char* to) {
    const std::string source = Key(from);
    const std::string target = Key(to);
    auto it = files_.find(source);
    if (it == files_.end() || folders_.count(target) != 0 || !ParentExists(target)) return false;
    if (Fails(FaultPlan::Replace)) return false;
    if (source == target) return true;
    BeforeOverwrite(target);
    std::vector<uint8_t> bytes = std::move(it->second);
    files_.erase(it);
    files_[target] = std::move(bytes);
    return true;
}

void MemoryFileSystem::PutFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    files_[Key(path.c_str())] = bytes;
}

void MemoryFileSystem::PutFile(const std::string& path, const void* data, size_t size) {
    const uint8_t* begin = static_cast<const uint8_t*>(data);
    files_[Key(path.c_str())] = std::vector<uint8_t>(begin, begin + size);
}

void MemoryFileSystem::MakeFolder(const std::string& path) { folders_.insert(Key(path.c_str())); }

const std::vector<uint8_t>* MemoryFileSystem::Get(const std::string& path) const {
    auto it = files_.find(Key(path.c_str()));
    return it == files_.end() ? nullptr : &it->second;
}

bool MemoryFileSystem::HasFolder(const std::string& path) const {
    return folders_.count(Key(path.c_str())) != 0;
}

void MemoryFileSystem::RemoveFile(const std::string& path) { files_.erase(Key(path.c_str())); }

int MemoryFileSystem::CountFilesEndingWith(const std::string& suffix) const {
    const std::string folded = Key(suffix.c_str());
    int count = 0;
    for (const auto& file : files_) {
        const std::string& name = file.first;
        if (name.size() >= folded.size() && name.compare(name.size() - folded.size(), folded.size(), folded) == 0) {
            ++count;
        }
    }
    return count;
}

void CountingMessageSink::ShowMessage(const char* text, const char* /*caption*/) {
    ++count;
    if (std::strstr(text, " is not a Brisklet Button file (") != nullptr) ++notButtonFile;
    lastText = text;
}
