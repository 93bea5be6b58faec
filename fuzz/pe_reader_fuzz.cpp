// libFuzzer target for the packer's PE layer: any input is read, and when it reads as a PE
// file with a resource tree it is written anew with one more resource; the result must read
// back with the same tree and a correct checksum.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ByteIo.h"
#include "Errors.h"
#include "PeChecksum.h"
#include "PeImage.h"
#include "PeWriter.h"
#include "ResourceTree.h"

namespace {

// Outputs beyond this are skipped: they need a large input's worth of bytes many times over.
constexpr std::uint64_t kMaxOutput = 16u << 20;

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "pe_reader_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto input = std::make_shared<MemorySource>(std::span<const std::uint8_t>(data, size), "input");
    PeImage image;
    ResourceTree tree;
    try {
        image = PeImage::Read(*input);
        tree = ReadResourceTree(image, input);
    } catch (const PeFormatError&) {
        return 0;
    }
    tree.RemoveIf([](const ResourceEntry& e) { return e.type.Matches(ResourceKey::Name("BIN")); });
    tree.Add({ResourceKey::Name("BIN"), ResourceKey::Name("RESOURCE_FILE0"), ResourceKey::Id(0), 0,
              DataRef::Bytes({'f', 'u', 'z', 'z'}, "payload")});
    RewritePlan plan;
    try {
        plan = PlanRewrite(image, tree);
    } catch (const PeFormatError&) {
        return 0;
    }
    if (plan.outputSize > kMaxOutput) return 0;
    MemorySink sink;
    WriteRewrite(plan, *input, sink);

    auto output = std::make_shared<MemorySource>(std::move(sink.bytes), "output");
    PeImage again;
    ResourceTree back;
    try {
        again = PeImage::Read(*output);
        back = ReadResourceTree(again, output);
    } catch (const PeFormatError&) {
        Broken("the rewritten file does not read back");
    }
    if (again.checkSum != ComputePeChecksum(*output, again.ChecksumOffset())) Broken("wrong checksum");
    if (back.Entries().size() != tree.Entries().size()) Broken("the tree changed");
    const auto ours = back.FindAll(ResourceKey::Name("BIN"), ResourceKey::Name("RESOURCE_FILE0"));
    if (ours.size() != 1 || ours[0]->data.size != 4) Broken("the added resource is missing");
    return 0;
}
