#include "core/recovery/Par2Format.h"

#include <algorithm>
#include <cstring>

namespace olvo {
namespace {

void AppendLittle(std::string& out, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
}

template <typename Array>
void AppendBytes(std::string& out, const Array& bytes) {
    out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void PadTo4(std::string& out) {
    while (out.size() % 4 != 0) out += '\0';
}

template <typename Array>
Array TakeArray(std::string_view body, std::size_t offset) {
    Array result{};
    std::memcpy(result.data(), body.data() + offset, result.size());
    return result;
}

const std::uint8_t* Bytes(std::string_view text) {
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

}  // namespace

std::uint64_t ReadLittle(const std::uint8_t* bytes, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value |= std::uint64_t{bytes[i]} << (8 * i);
    return value;
}

bool Par2IdLess(const Par2Id& a, const Par2Id& b) {
    return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
}

Par2Id FileIdOf(const Md5Digest& md5First16k, std::uint64_t size, std::string_view name) {
    std::string data;
    AppendBytes(data, md5First16k);
    AppendLittle(data, size, 8);
    data.append(name);
    return Md5Of(data.data(), data.size());
}

std::string MakePacket(const Par2Id& setId, const Par2Type& type, std::string_view body) {
    std::string hashed;
    AppendBytes(hashed, setId);
    AppendBytes(hashed, type);
    hashed.append(body);
    std::string packet(kPacketMagic);
    AppendLittle(packet, kPacketHeaderSize + body.size(), 8);
    AppendBytes(packet, Md5Of(hashed.data(), hashed.size()));
    return packet + hashed;
}

std::string MainBody(std::uint64_t sliceSize, std::vector<Par2Id> fileIds) {
    std::sort(fileIds.begin(), fileIds.end(), Par2IdLess);
    std::string body;
    AppendLittle(body, sliceSize, 8);
    AppendLittle(body, fileIds.size(), 4);
    for (const Par2Id& id : fileIds) AppendBytes(body, id);
    return body;
}

std::string FileDescBody(const Par2FileInfo& file) {
    std::string body;
    AppendBytes(body, file.id);
    AppendBytes(body, file.md5);
    AppendBytes(body, file.md5First16k);
    AppendLittle(body, file.size, 8);
    body.append(file.name);
    PadTo4(body);
    return body;
}

std::string IfscBody(const Par2FileInfo& file) {
    std::string body;
    AppendBytes(body, file.id);
    for (const SliceChecksum& slice : file.slices) {
        AppendBytes(body, slice.md5);
        AppendLittle(body, slice.crc, 4);
    }
    return body;
}

std::string CreatorBody(std::string_view creator) {
    std::string body(creator);
    PadTo4(body);
    return body;
}

Md5 RecoveryPacketHash(const Par2Id& setId, std::uint32_t exponent) {
    std::string prefix;
    AppendBytes(prefix, setId);
    AppendBytes(prefix, kRecoveryType);
    AppendLittle(prefix, exponent, 4);
    Md5 md5;
    md5.Update(prefix.data(), prefix.size());
    return md5;
}

std::string RecoveryPacketHead(const Par2Id& setId, std::uint32_t exponent, std::uint64_t sliceSize,
                               const Md5Digest& packetMd5) {
    std::string head(kPacketMagic);
    AppendLittle(head, kPacketHeaderSize + 4 + sliceSize, 8);
    AppendBytes(head, packetMd5);
    AppendBytes(head, setId);
    AppendBytes(head, kRecoveryType);
    AppendLittle(head, exponent, 4);
    return head;
}

std::optional<PacketHeader> ParsePacketHeader(const std::uint8_t* bytes) {
    if (std::memcmp(bytes, kPacketMagic.data(), kPacketMagic.size()) != 0) return std::nullopt;
    PacketHeader header;
    header.length = ReadLittle(bytes + 8, 8);
    if (header.length < kPacketHeaderSize || header.length % 4 != 0) return std::nullopt;
    std::memcpy(header.md5.data(), bytes + 16, 16);
    std::memcpy(header.setId.data(), bytes + 32, 16);
    std::memcpy(header.type.data(), bytes + 48, 16);
    return header;
}

bool PacketBodyMatches(const PacketHeader& header, std::string_view body) {
    if (body.size() != header.length - kPacketHeaderSize) return false;
    Md5 md5;
    md5.Update(header.setId.data(), header.setId.size());
    md5.Update(header.type.data(), header.type.size());
    md5.Update(body.data(), body.size());
    return md5.Finish() == header.md5;
}

std::optional<MainInfo> ParseMainBody(std::string_view body) {
    if (body.size() < 12) return std::nullopt;
    MainInfo main;
    main.sliceSize = ReadLittle(Bytes(body), 8);
    const std::uint64_t count = ReadLittle(Bytes(body) + 8, 4);
    if (main.sliceSize == 0 || main.sliceSize % 4 != 0 || count == 0) return std::nullopt;
    if ((body.size() - 12) % 16 != 0 || count > (body.size() - 12) / 16) return std::nullopt;
    for (std::uint64_t i = 0; i < count; ++i)
        main.fileIds.push_back(TakeArray<Par2Id>(body, 12 + 16 * i));
    return main;
}

std::optional<Par2FileInfo> ParseFileDescBody(std::string_view body) {
    if (body.size() < 56) return std::nullopt;
    Par2FileInfo file;
    file.id = TakeArray<Par2Id>(body, 0);
    file.md5 = TakeArray<Md5Digest>(body, 16);
    file.md5First16k = TakeArray<Md5Digest>(body, 32);
    file.size = ReadLittle(Bytes(body) + 48, 8);
    file.name = std::string(body.substr(56));
    while (!file.name.empty() && file.name.back() == '\0') file.name.pop_back();
    return file;
}

std::optional<std::pair<Par2Id, std::vector<SliceChecksum>>> ParseIfscBody(std::string_view body) {
    if (body.size() < 16 || (body.size() - 16) % 20 != 0) return std::nullopt;
    std::pair<Par2Id, std::vector<SliceChecksum>> result;
    result.first = TakeArray<Par2Id>(body, 0);
    for (std::size_t offset = 16; offset < body.size(); offset += 20) {
        SliceChecksum slice;
        slice.md5 = TakeArray<Md5Digest>(body, offset);
        slice.crc = static_cast<std::uint32_t>(ReadLittle(Bytes(body) + offset + 16, 4));
        result.second.push_back(slice);
    }
    return result;
}

}  // namespace olvo
