// Metafile handles, their bits, and placeable metafile files.
#include "platform/metafile.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/metafile_format.h"
#include "platform/module_state.h"
#include "platform/replacing_file.h"
#include "platform/system.h"

namespace win {

namespace {

MetaFileObject* Lookup(HMETAFILE mf) {
    auto& all = Metafiles().metafiles;
    auto it = all.find(mf);
    return it == all.end() ? nullptr : it->second.get();
}

// True when the bytes begin with a metafile header we can play.
bool IsMetafileHeader(std::span<const BYTE> b) {
    if (b.size() < wmf::kHeaderBytes) return false;
    const WORD type = wmf::ReadWord(b, 0);
    const WORD headerWords = wmf::ReadWord(b, 2);
    const WORD version = wmf::ReadWord(b, 4);
    return (type == wmf::kMemoryMetafile || type == wmf::kDiskMetafile) && headerWords == wmf::kHeaderWords &&
           (version == 0x0100 || version == 0x0300);
}

}  // namespace

MetafileState& Metafiles() { return ModuleState<MetafileState>(); }

void ResetMetafileStateForTests() { ResetModuleState<MetafileState>(); }

bool IsValidMetaFile(HMETAFILE mf) { return mf != nullptr && Lookup(mf) != nullptr; }

BOOL DeleteMetaFile(HMETAFILE mf) {
    if (!IsValidMetaFile(mf)) return FALSE;
    Metafiles().metafiles.erase(mf);
    return TRUE;
}

UINT GetMetaFileBitsEx(HMETAFILE mf, UINT size, void* buffer) {
    MetaFileObject* m = Lookup(mf);
    if (m == nullptr) return 0;
    const auto needed = static_cast<UINT>(m->bits.size());
    if (buffer == nullptr) return needed;
    if (size < needed) return 0;
    std::copy(m->bits.begin(), m->bits.end(), static_cast<BYTE*>(buffer));
    return needed;
}

std::vector<BYTE> GetMetaFileBits(HMETAFILE mf) {
    MetaFileObject* m = Lookup(mf);
    return m ? m->bits : std::vector<BYTE>{};
}

HMETAFILE SetMetaFileBitsEx(UINT size, const BYTE* data) {
    if (data == nullptr) return nullptr;
    std::span<const BYTE> bytes(data, size);
    if (!IsMetafileHeader(bytes)) return nullptr;
    // A header that claims less than it holds keeps only what it claims.
    std::size_t claimed = std::size_t{wmf::ReadDword(bytes, 6)} * 2;
    if (claimed >= wmf::kHeaderBytes && claimed < bytes.size()) bytes = bytes.first(claimed);
    auto mf = std::make_unique<MetaFileObject>();
    mf->bits.assign(bytes.begin(), bytes.end());
    HMETAFILE handle = mf.get();
    Metafiles().metafiles.emplace(handle, std::move(mf));
    return handle;
}

std::vector<BYTE> PlaceableMetaFileBytes(HMETAFILE mf, const RECT& bounds, WORD unitsPerInch) {
    MetaFileObject* m = Lookup(mf);
    if (m == nullptr) return {};
    std::vector<BYTE> out;
    out.reserve(kPlaceableHeaderSize + m->bits.size());
    wmf::PutDword(out, kPlaceableKey);
    wmf::PutWord(out, 0);
    wmf::PutWord(out, static_cast<WORD>(bounds.left));
    wmf::PutWord(out, static_cast<WORD>(bounds.top));
    wmf::PutWord(out, static_cast<WORD>(bounds.right));
    wmf::PutWord(out, static_cast<WORD>(bounds.bottom));
    wmf::PutWord(out, unitsPerInch);
    wmf::PutDword(out, 0);
    WORD checksum = 0;
    for (std::size_t i = 0; i < 20; i += 2) checksum ^= wmf::ReadWord(out, i);
    wmf::PutWord(out, checksum);
    out.insert(out.end(), m->bits.begin(), m->bits.end());
    return out;
}

HMETAFILE MetaFileFromBytes(std::span<const BYTE> bytes, PlaceableInfo* info) {
    PlaceableInfo found;
    if (bytes.size() >= kPlaceableHeaderSize && wmf::ReadDword(bytes, 0) == kPlaceableKey) {
        found.placeable = true;
        // Unsigned, as the program's own reader takes them: its pages may reach past 32767.
        found.bounds = {wmf::ReadWord(bytes, 6), wmf::ReadWord(bytes, 8), wmf::ReadWord(bytes, 10), wmf::ReadWord(bytes, 12)};
        found.unitsPerInch = wmf::ReadWord(bytes, 14);
        bytes = bytes.subspan(kPlaceableHeaderSize);
    }
    HMETAFILE mf = SetMetaFileBitsEx(static_cast<UINT>(bytes.size()), bytes.data());
    if (mf != nullptr && info != nullptr) *info = found;
    return mf;
}

bool WriteMetaFileFile(const std::string& path, HMETAFILE mf, const RECT* bounds, WORD unitsPerInch) {
    if (!IsValidMetaFile(mf) || path.empty()) return false;
    std::vector<BYTE> bytes = bounds ? PlaceableMetaFileBytes(mf, *bounds, unitsPerInch) : GetMetaFileBits(mf);
    // Written beside the target and put in its place when complete, so a failed write leaves an
    // existing file intact and a killed program leaves no temporary behind.
    std::string temp;
    std::FILE* out = CreateReplacingFile(path, temp);
    if (out == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (ok)
        ok = CommitReplacingFile(out, temp, path);
    else
        DiscardReplacingFile(temp);
    return std::fclose(out) == 0 && ok;
}

HMETAFILE ReadMetaFileFile(const std::string& path, PlaceableInfo* info) {
    std::string found = FindFileCaseBlind(path);
    if (found.empty()) return nullptr;
    std::ifstream in(found, std::ios::binary);
    if (!in) return nullptr;
    std::vector<BYTE> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return MetaFileFromBytes(bytes, info);
}

}  // namespace win
