#include "datafiles/HuffmanEncoder.h"

#include <algorithm>
#include <queue>

#include "datafiles/BitWriter.h"

namespace datafiles {

namespace {

// Plain Huffman code lengths by merging the two lightest nodes; returns the longest length.
unsigned huffmanLengths(const std::vector<uint32_t>& freq, const std::vector<size_t>& used,
                        std::vector<uint8_t>& lengths) {
  struct Node {
    uint64_t weight;
    int parent;
  };
  std::vector<Node> nodes;
  nodes.reserve(used.size() * 2);
  using Entry = std::pair<uint64_t, int>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> heap;
  for (size_t symbol : used) {
    nodes.push_back({freq[symbol], -1});
    heap.push({freq[symbol], static_cast<int>(nodes.size() - 1)});
  }
  while (heap.size() > 1) {
    const Entry a = heap.top();
    heap.pop();
    const Entry b = heap.top();
    heap.pop();
    nodes.push_back({a.first + b.first, -1});
    const int parent = static_cast<int>(nodes.size() - 1);
    nodes[a.second].parent = parent;
    nodes[b.second].parent = parent;
    heap.push({a.first + b.first, parent});
  }
  // Parents come after their children, so depths fill in from the root downward.
  std::vector<unsigned> depth(nodes.size(), 0);
  for (size_t i = nodes.size() - 1; i-- > 0;) depth[i] = depth[nodes[i].parent] + 1;
  unsigned longest = 0;
  for (size_t i = 0; i < used.size(); ++i) {
    lengths[used[i]] = static_cast<uint8_t>(depth[i]);
    longest = std::max(longest, depth[i]);
  }
  return longest;
}

}  // namespace

std::vector<uint8_t> buildCodeLengths(const uint32_t* frequencies, size_t count,
                                      unsigned maxLength) {
  std::vector<uint32_t> freq(frequencies, frequencies + count);
  std::vector<size_t> used;
  for (size_t i = 0; i < count; ++i)
    if (freq[i] > 0) used.push_back(i);
  // A lone symbol (or none) still gets a complete two-code table.
  for (size_t i = 0; used.size() < 2 && i < count; ++i) {
    if (freq[i] == 0) {
      freq[i] = 1;
      used.push_back(i);
    }
  }
  std::sort(used.begin(), used.end());
  std::vector<uint8_t> lengths(count, 0);
  if (used.size() < 2) {
    for (size_t symbol : used) lengths[symbol] = 1;
    return lengths;
  }
  // Too long a code: flatten the statistics and build again; this converges because equal
  // weights give a balanced tree.
  while (huffmanLengths(freq, used, lengths) > maxLength) {
    for (size_t symbol : used) freq[symbol] = (freq[symbol] >> 1) | 1;
  }
  return lengths;
}

std::vector<uint16_t> canonicalCodes(const uint8_t* lengths, size_t count) {
  unsigned perLength[kMaxCodeLength + 1] = {};
  for (size_t i = 0; i < count; ++i) perLength[lengths[i] & 15]++;
  perLength[0] = 0;
  unsigned next[kMaxCodeLength + 2] = {};
  unsigned code = 0;
  for (unsigned b = 1; b <= kMaxCodeLength; ++b) {
    code = (code + perLength[b - 1]) << 1;
    next[b] = code;
  }
  std::vector<uint16_t> codes(count, 0);
  for (size_t i = 0; i < count; ++i) {
    const unsigned b = lengths[i] & 15;
    if (b != 0) codes[i] = static_cast<uint16_t>(next[b]++);
  }
  return codes;
}

namespace {

constexpr unsigned kRunExtraBits[3] = {2, 3, 7};  // codes 16, 17, 18

void tokenize(const uint8_t* lengths, const uint8_t* previous, size_t count, LengthSetPlan& plan) {
  plan.tokens.clear();
  plan.extras.clear();
  auto emit = [&](unsigned token, size_t extra) {
    plan.tokens.push_back(static_cast<uint8_t>(token));
    plan.extras.push_back(static_cast<uint8_t>(extra));
  };
  // Run code `token` covers `minimum` to `maximum` positions a time.
  auto emitRuns = [&](size_t& i, size_t& run, unsigned token, size_t minimum, size_t maximum) {
    while (run >= minimum) {
      const size_t n = std::min(run, maximum);
      emit(token, n - minimum);
      run -= n;
      i += n;
    }
  };
  auto emitSingles = [&](size_t& i, size_t run, uint8_t value) {
    for (; run > 0; --run, ++i) emit(previous ? (value - previous[i]) & 15 : value, 0);
  };
  size_t i = 0;
  while (i < count) {
    const uint8_t value = lengths[i];
    size_t run = 1;
    while (i + run < count && lengths[i + run] == value) ++run;
    if (value == 0 && run >= 3) {
      emitRuns(i, run, 18, 11, 138);
      emitRuns(i, run, 17, 3, 10);
    } else {
      // The first length goes out on its own; repeats of it follow as code 16.
      emitSingles(i, 1, value);
      --run;
      emitRuns(i, run, 16, 3, 6);
    }
    emitSingles(i, run, value);
  }
}

void finishPlan(LengthSetPlan& plan) {
  uint32_t freq[kCodeLengthSymbols] = {};
  for (uint8_t token : plan.tokens) freq[token]++;
  const std::vector<uint8_t> lengths = buildCodeLengths(freq, kCodeLengthSymbols);
  std::copy(lengths.begin(), lengths.end(), plan.codeLengths);
  plan.bits = kCodeLengthSymbols * 4;
  for (uint8_t token : plan.tokens) {
    plan.bits += plan.codeLengths[token];
    if (token >= 16) plan.bits += kRunExtraBits[token - 16];
  }
}

}  // namespace

LengthSetPlan planLengthSet(const uint8_t* lengths, const uint8_t* previous, size_t count) {
  LengthSetPlan plain;
  tokenize(lengths, nullptr, count, plain);
  finishPlan(plain);
  if (!previous) return plain;
  LengthSetPlan delta;
  delta.delta = true;
  tokenize(lengths, previous, count, delta);
  finishPlan(delta);
  return delta.bits < plain.bits ? delta : plain;
}

void writeLengthSet(BitWriter& out, const LengthSetPlan& plan) {
  for (uint8_t length : plan.codeLengths) out.write(length, 4);
  const std::vector<uint16_t> codes = canonicalCodes(plan.codeLengths, kCodeLengthSymbols);
  for (size_t i = 0; i < plan.tokens.size(); ++i) {
    const uint8_t token = plan.tokens[i];
    out.write(codes[token], plan.codeLengths[token]);
    if (token >= 16) out.write(plan.extras[i], kRunExtraBits[token - 16]);
  }
}

}  // namespace datafiles
