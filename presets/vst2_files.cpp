#include "presets/vst2_files.h"

#include "host_interface/aeffect.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace vst2_files {
namespace {

constexpr int32_t kChunkMagic = fourCharCode('C', 'c', 'n', 'K');
constexpr int32_t kProgramMagic = fourCharCode('F', 'x', 'C', 'k');
constexpr int32_t kOpaqueProgramMagic = fourCharCode('F', 'P', 'C', 'h');
constexpr int32_t kBankMagic = fourCharCode('F', 'x', 'B', 'k');
constexpr int32_t kOpaqueBankMagic = fourCharCode('F', 'B', 'C', 'h');

constexpr size_t kProgramHeader = 56; // up to the values or the chunk size
constexpr size_t kBankHeader = 156;   // up to the programs or the chunk size
constexpr size_t kSizeFieldEnd = 8;   // the byte size counts from here
// Far beyond any plug-in, small enough that no count overflows a size.
constexpr int32_t kMaxCount = 1 << 20;

std::string number(size_t n) {
    return std::to_string(n);
}

class Writer {
  public:
    void word(int32_t value) {
        const uint32_t v = static_cast<uint32_t>(value);
        bytes.push_back(uint8_t(v >> 24));
        bytes.push_back(uint8_t(v >> 16));
        bytes.push_back(uint8_t(v >> 8));
        bytes.push_back(uint8_t(v));
    }
    void real(float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        word(static_cast<int32_t>(bits));
    }
    template <typename T> void raw(const T* data, size_t size) {
        const auto* p = reinterpret_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
    }
    // A chunk's header as far as its count, the size field left for closeChunk; returns
    // where the chunk starts.
    size_t beginChunk(int32_t kind, int32_t formatVersion, int32_t pluginId, int32_t pluginVersion,
                      int32_t count) {
        const size_t start = bytes.size();
        word(kChunkMagic);
        word(0);
        word(kind);
        word(formatVersion);
        word(pluginId);
        word(pluginVersion);
        word(count);
        return start;
    }
    // Writes the byte size of everything after the size field at start + 4.
    void closeChunk(size_t start) {
        const uint32_t size = static_cast<uint32_t>(bytes.size() - start - kSizeFieldEnd);
        for (int i = 0; i < 4; ++i)
            bytes[start + 4 + i] = uint8_t(size >> (24 - 8 * i));
    }

    std::vector<uint8_t> bytes;
};

class Reader {
  public:
    Reader(const std::vector<uint8_t>& bytes, size_t begin, size_t end)
        : bytes_(bytes), at_(begin), end_(end) {}

    int32_t word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = (v << 8) | bytes_[at_++];
        return static_cast<int32_t>(v);
    }
    float real() {
        const uint32_t bits = static_cast<uint32_t>(word());
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    template <typename T> void raw(T* data, size_t size) {
        std::memcpy(data, bytes_.data() + at_, size);
        at_ += size;
    }
    void skip(size_t size) { at_ += size; }
    size_t at() const { return at_; }
    size_t left() const { return end_ - at_; }

  private:
    const std::vector<uint8_t>& bytes_;
    size_t at_;
    size_t end_;
};

void writeProgram(Writer& out, const ProgramFile& program) {
    if (program.opaque ? !program.values.empty() : !program.chunk.empty())
        throw FileError("a program holds either parameter values or a chunk, not both");
    const size_t count = program.opaque ? program.chunk.size() : program.values.size();
    if (count > size_t(program.opaque ? INT32_MAX - 64 : kMaxCount))
        throw FileError("too large for a program file");
    const size_t start = out.beginChunk(
        program.opaque ? kOpaqueProgramMagic : kProgramMagic, program.formatVersion,
        program.pluginId, program.pluginVersion, program.opaque ? 0 : static_cast<int32_t>(count));
    out.raw(program.nameField.data(), kProgramNameSize);
    if (program.opaque) {
        out.word(static_cast<int32_t>(count));
        out.raw(program.chunk.data(), count);
    } else {
        for (float value : program.values)
            out.real(value);
    }
    out.closeChunk(start);
}

// Reads the "CcnK" header and the chunk's own magic, which must be one of the two
// given; then checks that the size field covers exactly the bytes to the end and
// that they hold at least the header.
int32_t readChunkHeader(Reader& in, size_t header, const char* what, int32_t kind,
                        int32_t opaqueKind, const char* otherWhat, int32_t otherKind,
                        int32_t otherOpaqueKind) {
    const size_t total = in.left();
    if (total < 12)
        throw FileError("too short for a " + std::string(what) + " (" + number(total) + " bytes)");
    if (in.word() != kChunkMagic)
        throw FileError("not a VST 2 " + std::string(what) + " (no \"CcnK\" at the start)");
    const uint32_t size = static_cast<uint32_t>(in.word());
    const int32_t magic = in.word();
    if (magic == otherKind || magic == otherOpaqueKind)
        throw FileError("a " + std::string(otherWhat) + ", not a " + what);
    if (magic != kind && magic != opaqueKind)
        throw FileError("not a VST 2 " + std::string(what) + " (kind \"" + idText(magic) +
                        "\", not \"" + idText(kind) + "\" or \"" + idText(opaqueKind) + "\")");
    if (size != total - kSizeFieldEnd)
        throw FileError("the size field says " + number(size) + " bytes follow it, but " +
                        number(total - kSizeFieldEnd) + " do");
    if (total < header)
        throw FileError("too short for a " + std::string(what) + " (" + number(total) +
                        " bytes, the header alone takes " + number(header) + ")");
    return magic;
}

// The opaque kinds' state: a byte count, then exactly that many bytes to the end.
std::vector<uint8_t> readOpaqueChunk(Reader& in) {
    if (in.left() < 4) throw FileError("the chunk size is missing");
    const uint32_t size = static_cast<uint32_t>(in.word());
    if (size != in.left())
        throw FileError("the chunk size says " + number(size) + " bytes, but " + number(in.left()) +
                        " follow it");
    std::vector<uint8_t> chunk(size);
    in.raw(chunk.data(), size);
    return chunk;
}

ProgramFile readProgram(Reader& in, const char* what) {
    ProgramFile program;
    const int32_t magic =
        readChunkHeader(in, kProgramHeader, what, kProgramMagic, kOpaqueProgramMagic, "bank file",
                        kBankMagic, kOpaqueBankMagic);
    program.opaque = magic == kOpaqueProgramMagic;
    program.formatVersion = in.word();
    program.pluginId = in.word();
    program.pluginVersion = in.word();
    const int32_t count = in.word();
    in.raw(program.nameField.data(), kProgramNameSize);
    if (program.opaque) {
        program.chunk = readOpaqueChunk(in);
        return program;
    }
    if (count < 0 || count > kMaxCount || size_t(count) * 4 != in.left())
        throw FileError("the header counts " + std::to_string(count) + " parameter values, but " +
                        number(in.left()) + " bytes of values follow (" + number(in.left() / 4) +
                        " values)");
    program.values.resize(size_t(count));
    for (float& value : program.values)
        value = in.real();
    return program;
}

} // namespace

std::string idText(int32_t id) {
    const uint32_t v = static_cast<uint32_t>(id);
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((v >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08X", v);
            return hex;
        }
        text += c;
    }
    return text;
}

std::string ProgramFile::name() const {
    size_t length = 0;
    while (length < kProgramNameSize && nameField[length])
        ++length;
    return std::string(nameField.data(), length);
}

void ProgramFile::setName(const std::string& name) {
    nameField.fill(0);
    name.copy(nameField.data(), kProgramNameSize - 1);
}

int32_t BankFile::currentProgram() const {
    if (formatVersion < 2) return 0;
    return static_cast<int32_t>((uint32_t(reserved[0]) << 24) | (uint32_t(reserved[1]) << 16) |
                                (uint32_t(reserved[2]) << 8) | uint32_t(reserved[3]));
}

void BankFile::setCurrentProgram(int32_t program) {
    const uint32_t v = static_cast<uint32_t>(program);
    for (int i = 0; i < 4; ++i)
        reserved[i] = uint8_t(v >> (24 - 8 * i));
}

std::vector<uint8_t> encode(const ProgramFile& program) {
    Writer out;
    writeProgram(out, program);
    return out.bytes;
}

std::vector<uint8_t> encode(const BankFile& bank) {
    if (bank.opaque ? !bank.programs.empty() : !bank.chunk.empty())
        throw FileError("a bank holds either programs or a chunk, not both");
    if (bank.programs.size() > size_t(kMaxCount) || bank.chunk.size() > size_t(INT32_MAX - 256))
        throw FileError("too large for a bank file");
    Writer out;
    const size_t start = out.beginChunk(
        bank.opaque ? kOpaqueBankMagic : kBankMagic, bank.formatVersion, bank.pluginId,
        bank.pluginVersion, static_cast<int32_t>(bank.opaque ? 0 : bank.programs.size()));
    out.raw(bank.reserved.data(), bank.reserved.size());
    if (bank.opaque) {
        out.word(static_cast<int32_t>(bank.chunk.size()));
        out.raw(bank.chunk.data(), bank.chunk.size());
    } else {
        for (const ProgramFile& program : bank.programs) {
            if (program.opaque)
                throw FileError("a bank of parameter lists holds an opaque program");
            if (program.values.size() != bank.programs[0].values.size())
                throw FileError("the bank's programs hold different numbers of values");
            writeProgram(out, program);
        }
    }
    out.closeChunk(start);
    if (out.bytes.size() > size_t(INT32_MAX)) throw FileError("too large for a bank file");
    return out.bytes;
}

ProgramFile decodeProgram(const std::vector<uint8_t>& bytes) {
    Reader in(bytes, 0, bytes.size());
    return readProgram(in, "program file");
}

BankFile decodeBank(const std::vector<uint8_t>& bytes) {
    Reader in(bytes, 0, bytes.size());
    BankFile bank;
    const int32_t magic =
        readChunkHeader(in, kBankHeader, "bank file", kBankMagic, kOpaqueBankMagic, "program file",
                        kProgramMagic, kOpaqueProgramMagic);
    bank.opaque = magic == kOpaqueBankMagic;
    bank.formatVersion = in.word();
    bank.pluginId = in.word();
    bank.pluginVersion = in.word();
    const int32_t count = in.word();
    in.raw(bank.reserved.data(), bank.reserved.size());
    if (bank.opaque) {
        bank.chunk = readOpaqueChunk(in);
        return bank;
    }
    if (count < 0 || count > kMaxCount)
        throw FileError("the header counts " + std::to_string(count) + " programs");
    for (int32_t p = 0; p < count; ++p) {
        const std::string which = "program " + std::to_string(p) + " of " + std::to_string(count);
        if (in.left() < kProgramHeader)
            throw FileError("the header counts " + std::to_string(count) +
                            " programs, but the file ends in " + which);
        // A program's extent is given by its own size field.
        Reader peek(bytes, in.at() + 4, in.at() + 8);
        const size_t size = static_cast<uint32_t>(peek.word()) + kSizeFieldEnd;
        if (size > in.left()) throw FileError(which + " runs past the end of the file");
        Reader inner(bytes, in.at(), in.at() + size);
        try {
            bank.programs.push_back(readProgram(inner, "program"));
        } catch (const FileError& error) {
            throw FileError(which + ": " + error.what());
        }
        const ProgramFile& program = bank.programs.back();
        if (program.opaque) throw FileError(which + " is an opaque chunk in a bank of values");
        if (program.pluginId != bank.pluginId)
            throw FileError(which + " was made for plug-in '" + idText(program.pluginId) +
                            "', the bank for '" + idText(bank.pluginId) + "'");
        if (program.values.size() != bank.programs[0].values.size())
            throw FileError(which + " holds " + number(program.values.size()) +
                            " values, program 0 holds " + number(bank.programs[0].values.size()));
        in.skip(size);
    }
    if (in.left() != 0)
        throw FileError("the header counts " + std::to_string(count) + " programs, but " +
                        number(in.left()) + " bytes follow the last one");
    return bank;
}

void requirePlugin(int32_t fileId, int32_t pluginId) {
    if (fileId != pluginId)
        throw FileError("made for the plug-in with identifier '" + idText(fileId) +
                        "', not this one ('" + idText(pluginId) + "')");
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw FileError("cannot read: " + std::string(std::strerror(errno)));
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
    if (file.bad()) throw FileError("cannot read: " + std::string(std::strerror(errno)));
    return bytes;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string temporary = path + ".part" + std::to_string(getpid());
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) throw FileError("cannot write: " + std::string(std::strerror(errno)));
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int error = errno;
    if (std::fclose(file) != 0 || !written) {
        std::remove(temporary.c_str());
        throw FileError("cannot write: " + std::string(std::strerror(written ? errno : error)));
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int renameError = errno;
        std::remove(temporary.c_str());
        throw FileError("cannot write: " + std::string(std::strerror(renameError)));
    }
}

} // namespace vst2_files
