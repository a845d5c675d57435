#include "analysis/html_page.h"

#include "source/text_encoding.h"

#include <cstdio>

namespace tickscope {

namespace {

// The page's look: the system's fonts, the window's heat and mark colours, tables that
// scroll sideways on a narrow screen, the facts in one column on a phone.
constexpr std::string_view kStyle = R"css(
:root{color-scheme:light}
body{font-family:system-ui,-apple-system,"Segoe UI",Roboto,"Noto Sans","DejaVu Sans",sans-serif;
margin:0;padding:1rem 1.25rem;color:#111;background:#fff;line-height:1.35;font-size:15px}
h1{font-size:1.35rem;margin:0 0 .5rem;overflow-wrap:anywhere}
h2{font-size:1.1rem;margin:1.1rem 0 .4rem}
.note{color:#555;margin:.2rem 0 .4rem}
.warning{background:#fff3c4;border:1px solid #e0c050;padding:.3rem .6rem}
dl.facts{display:grid;grid-template-columns:max-content 1fr;gap:.1rem 1rem;margin:0}
dl.facts dt{font-weight:600}
dl.facts dd{margin:0;overflow-wrap:anywhere}
fieldset{border:1px solid #bbb;margin:.6rem 0 0;padding:.25rem .6rem .4rem}
fieldset label{display:inline-block;margin-right:1.1rem;white-space:nowrap}
.scroll{overflow:auto;max-width:100%;max-height:60vh;border:1px solid #ccc}
table{border-collapse:collapse;font-variant-numeric:tabular-nums}
th,td{padding:.1rem .45rem;text-align:right;white-space:nowrap}
th{background:#e4e4e4;position:sticky;top:0;z-index:1;font-weight:600}
table.sortable th{cursor:pointer;user-select:none}
th[aria-sort=descending]::after{content:" \25BC"}
th[aria-sort=ascending]::after{content:" \25B2"}
.left{text-align:left}
td.code,code{font-family:ui-monospace,SFMono-Regular,Menlo,Consolas,"Liberation Mono","DejaVu Sans Mono",monospace;
white-space:pre;tab-size:4;text-align:left}
table.data tbody tr:nth-child(even){background:#f3f3f3}
a{color:#0645ad}
details.file{border:1px solid #ccc;margin:.3rem 0}
details.file>summary{padding:.3rem .5rem;cursor:pointer;background:#f0f0f0;overflow-wrap:anywhere}
details.file>summary .figure{color:#444;margin-left:.6rem;white-space:nowrap}
.listing{display:flex;align-items:stretch}
.listing .box{flex:1 1 auto;min-width:0;overflow:auto;max-height:70vh}
.stripbox{flex:0 0 18px;position:relative;border-left:1px solid #888}
canvas.strip{position:absolute;left:0;top:0;width:100%;height:100%;image-rendering:pixelated;
cursor:pointer;background:rgb(100,100,100)}
table.code td.ln{background:rgb(200,200,200);color:rgb(100,100,100)}
table.code td.heat{color:#fff}
table.code tr.none td.heat{background:rgb(100,100,100);color:rgb(200,200,200)}
table.code tr.none td.code{color:rgb(100,100,100)}
table.code tr td.code.start{color:rgb(0,200,0)}
table.code tr td.code.end{color:rgb(200,0,0)}
tr.target td{outline:2px solid #f0c000}
td.slower,td.faster{color:#111}
td.strong{color:#fff}
.up{color:#b00000}
.down{color:#007000}
tr.removed td.code{text-decoration:line-through;color:#777}
@media (min-width:1000px){
dl.facts{grid-template-columns:max-content minmax(0,1fr) max-content minmax(0,1fr)}
.tables{display:grid;grid-template-columns:auto minmax(0,1fr);gap:0 1.25rem;align-items:start}
.tables .scroll{max-height:30vh}
}
@media (max-width:700px){
body{padding:.5rem;font-size:14px}
dl.facts{grid-template-columns:1fr}
dl.facts dt{margin-top:.25rem}
th,td{padding:.1rem .3rem}
.listing .box{max-height:60vh}
}
)css";

// Sorting by a click on a column's title, the bird's view strips, and for a single run the
// figures of the checked threads, summed as the report tool sums them (64-bit wrapping
// BigInt sums, the same rounding of milliseconds, percentages and heat).
constexpr std::string_view kScript = R"js(
(function () {
"use strict";
var D = JSON.parse(document.getElementById("tickscope-data").textContent);
var W = function (x) { return BigInt.asIntN(64, x); };
var EXACT_LIMIT = 8388608000000n; // 2^23 ms in nanoseconds
function ms(n) {
  var s;
  if (n > -EXACT_LIMIT && n < EXACT_LIMIT) {
    var neg = n < 0n, m = neg ? -n : n;
    s = (neg ? "-" : "") + (m / 1000000n).toString() + "." +
        (m % 1000000n).toString().padStart(6, "0");
  } else {
    s = (Number(n) / 1e6).toFixed(9);
  }
  return s.replace(/0+$/, "");
}
function pct(part, whole) {
  if (whole === 0n) return "0.00";
  var scaled = part * 10000n, h = scaled / whole, rest = scaled % whole;
  var rest2 = rest < 0n ? -2n * rest : 2n * rest, div = whole < 0n ? -whole : whole;
  if (rest2 >= div) h += ((scaled < 0n) !== (whole < 0n)) ? -1n : 1n;
  var neg = h < 0n, d = (neg ? -h : h).toString().padStart(3, "0");
  return (neg ? "-" : "") + d.slice(0, -2) + "." + d.slice(-2);
}
function heat(value, largest) {
  var s = value / largest * 255;
  if (!(s > 0)) return 0;
  if (s >= 255) return 255;
  var f = Math.floor(s), r = s - f;
  return r > 0.5 ? f + 1 : r < 0.5 ? f : (f % 2 === 0 ? f : f + 1);
}

// --- sorting ---------------------------------------------------------------------------
function key(row, col) {
  var td = row.cells[col];
  if (!td) return "";
  var v = td.getAttribute("data-v");
  return v === null ? td.textContent : v;
}
function sortRows(table) {
  var col = table.getAttribute("data-col");
  if (col === null) return;
  col = +col;
  var up = table.getAttribute("data-dir") === "ascending";
  var numeric = table.tHead.rows[0].cells[col].hasAttribute("data-num");
  var body = table.tBodies[0], rows = Array.prototype.slice.call(body.rows);
  rows.sort(function (a, b) {
    var x = key(a, col), y = key(b, col);
    if (numeric) {
      if (x === "" || y === "") return (x === "") - (y === "");
      x = BigInt(x); y = BigInt(y);
      var c = x < y ? -1 : x > y ? 1 : 0;
      return up ? c : -c;
    }
    var t = x.localeCompare(y);
    return up ? t : -t;
  });
  rows.forEach(function (r) { body.appendChild(r); });
}
document.addEventListener("click", function (e) {
  var th = e.target.closest("table.sortable thead th");
  if (!th) return;
  var table = th.closest("table"), col = th.cellIndex;
  var dir = table.getAttribute("data-col") === String(col) &&
            table.getAttribute("data-dir") === "descending" ? "ascending" : "descending";
  if (!th.hasAttribute("data-num") && table.getAttribute("data-col") !== String(col)) dir = "ascending";
  Array.prototype.forEach.call(th.parentNode.cells, function (c) { c.removeAttribute("aria-sort"); });
  th.setAttribute("aria-sort", dir);
  table.setAttribute("data-col", col);
  table.setAttribute("data-dir", dir);
  sortRows(table);
});

// --- bird's view -----------------------------------------------------------------------
var GREY = [100, 100, 100];
// One band per row, or per several rows, the one of most weight winning: colours are
// [red, green, blue, weight] per half (hits, time), null for none.
function drawStrip(canvas, colours) {
  var n = colours.length, h = Math.max(1, Math.min(n, 1500));
  canvas.width = 2;
  canvas.height = h;
  var best = new Array(2 * h).fill(null);
  for (var r = 0; r < n; r++) {
    var y = Math.floor(r * h / n);
    for (var s = 0; s < 2; s++) {
      var c = colours[r][s], b = best[2 * y + s];
      if (c && (!b || c[3] > b[3])) best[2 * y + s] = c;
    }
  }
  var ctx = canvas.getContext("2d"), img = ctx.createImageData(2, h);
  for (var i = 0; i < 2 * h; i++) {
    var col = best[i] || GREY;
    img.data[4 * i] = col[0]; img.data[4 * i + 1] = col[1]; img.data[4 * i + 2] = col[2];
    img.data[4 * i + 3] = 255;
  }
  ctx.putImageData(img, 0, 0);
}
function showRow(row) {
  var details = row.closest("details");
  if (details) details.open = true;
  var box = row.closest(".box");
  box.scrollTop += row.getBoundingClientRect().top - box.getBoundingClientRect().top -
                   box.clientHeight / 3;
  var old = document.querySelector("tr.target");
  if (old) old.classList.remove("target");
  row.classList.add("target");
}
document.addEventListener("click", function (e) {
  var canvas = e.target.closest("canvas.strip");
  if (!canvas) return;
  var rows = canvas.closest(".listing").querySelector("tbody").rows;
  if (rows.length === 0) return;
  var r = Math.floor(e.offsetY / canvas.clientHeight * rows.length);
  showRow(rows[Math.max(0, Math.min(rows.length - 1, r))]);
});
function followHash() {
  var row = location.hash.length > 1 && document.getElementById(location.hash.slice(1));
  if (row && row.tagName === "TR") showRow(row);
}
window.addEventListener("hashchange", followHash);

// --- a comparison: the strips show the change, slower red, faster green, white for none ---
if (D.kind === "comparison") {
  document.querySelectorAll(".listing").forEach(function (listing) {
    var colours = Array.prototype.map.call(listing.querySelector("tbody").rows, function (row) {
      var d = row.getAttribute("data-dh");
      if (d === null || d === "") return [null, null];
      d = +d;
      var c = d >= 0 ? [255, 255 - d, 255 - d, d] : [255 + d, 255 + Math.trunc(d * 115 / 255), 255 + d, -d];
      return [c, c];
    });
    drawStrip(listing.querySelector("canvas.strip"), colours);
  });
  document.querySelectorAll("table.sortable[data-col]").forEach(sortRows);
  followHash();
  return;
}

// --- one run: the figures of the checked threads ------------------------------------------
var boxes = Array.prototype.slice.call(document.querySelectorAll("input.thread"));
var lineRows = Array.prototype.slice.call(document.querySelectorAll("table.code tr[data-l]"));
var rowOf = new Map();
lineRows.forEach(function (tr) { rowOf.set(+tr.getAttribute("data-l"), tr); });
var procs = new Map();
D.procs.forEach(function (p) { procs.set(p[0], { label: p[1], first: p[2] }); });
function zero() { return { hits: 0n, total: 0n, max: 0n, min: 0n, child: 0n, entering: 0n, calls: 0n }; }

function figures() {
  var sums = new Map(), calls = new Map(), run = 0n;
  D.threads.forEach(function (t, p) {
    if (!boxes[p] || !boxes[p].checked) return;
    run = W(run + BigInt(t.root));
    var L = t.lines;
    for (var i = 0; i < L.length; i += 7) {
      var id = Number(L[i]), s = sums.get(id);
      if (!s) { s = zero(); sums.set(id, s); }
      s.hits = W(s.hits + BigInt(L[i + 1])); s.total = W(s.total + BigInt(L[i + 2]));
      s.max = W(s.max + BigInt(L[i + 3])); s.min = W(s.min + BigInt(L[i + 4]));
      s.child = W(s.child + BigInt(L[i + 5])); s.entering = W(s.entering + BigInt(L[i + 6]));
    }
    var C = t.calls;
    for (var j = 0; j < C.length; j += 3) {
      var k = C[j] + ":" + C[j + 1], c = calls.get(k);
      if (!c) { c = { caller: Number(C[j]), callee: Number(C[j + 1]), calls: 0n }; calls.set(k, c); }
      c.calls = W(c.calls + BigInt(C[j + 2]));
    }
  });
  var ids = Array.from(sums.keys()).sort(function (a, b) { return a - b; });
  var procedures = new Map();
  ids.forEach(function (id) {
    var s = sums.get(id);
    s.self = W(s.total - s.child);
    if (s.self < 0n) s.self = 0n;
    s.time = D.mode === "avg" ? (s.hits === -1n ? W(0n - s.total) : s.hits !== 0n ? s.total / s.hits : 0n)
           : D.mode === "max" ? s.max : D.mode === "min" ? s.min : s.total;
    var scope = id >= 0 && id < D.scopes.length ? D.scopes[id] : 0;
    if (scope !== 0) {
      var p = procedures.get(scope);
      if (!p) { p = { scope: scope, calls: 0n, hits: 0n, self: 0n, total: 0n }; procedures.set(scope, p); }
      p.hits = W(p.hits + s.hits); p.self = W(p.self + s.self); p.total = W(p.total + s.entering);
    }
  });
  calls.forEach(function (c) {
    var s = sums.get(c.caller);
    if (s) s.calls = W(s.calls + c.calls);
    var p = procedures.get(c.callee);
    if (p) p.calls = W(p.calls + c.calls);
  });
  var largestHits = 0n, largestTime = 0;
  ids.forEach(function (id) {
    if (id < 1 || id > D.lines) return;
    var s = sums.get(id);
    if (s.hits > largestHits) largestHits = s.hits;
    var t = Number(s.time) / 1e6;
    if (t > largestTime) largestTime = t;
  });
  var hitsScale = D.maxHits !== 0 ? D.maxHits : Number(largestHits);
  var timeScale = D.maxTime !== 0 ? D.maxTime : largestTime;
  ids.forEach(function (id) {
    var s = sums.get(id);
    s.hitsHeat = heat(Number(s.hits), hitsScale);
    s.timeHeat = heat(Number(s.time) / 1e6, timeScale);
  });
  return { sums: sums, ids: ids, procedures: procedures, run: run };
}

function cell(row, text, value, cls) {
  var td = row.insertCell();
  td.textContent = text;
  if (value !== undefined) td.setAttribute("data-v", value);
  if (cls) td.className = cls;
  return td;
}
function fill(table, rows) {
  var body = table.tBodies[0];
  body.textContent = "";
  rows.forEach(function (build) { build(body.insertRow()); });
  sortRows(table);
}
function placeOf(id) {
  var tr = rowOf.get(id);
  return tr ? tr.closest("details").getAttribute("data-name") + ":" + tr.cells[0].textContent : "";
}

function show() {
  var f = figures(), withResults = 0;
  document.getElementById("run-ms").textContent = ms(f.run);
  lineRows.forEach(function (tr) {
    var s = f.sums.get(+tr.getAttribute("data-l")), c = tr.cells;
    if (s) {
      ++withResults;
      tr.className = "";
      c[1].textContent = s.hits.toString(); c[2].textContent = ms(s.time);
      c[3].textContent = ms(s.self); c[4].textContent = pct(s.self, f.run);
      c[1].style.background = "rgb(" + s.hitsHeat + ",0,0)";
      c[2].style.background = "rgb(" + s.timeHeat + ",0,0)";
    } else {
      tr.className = "none";
      for (var i = 1; i <= 4; i++) { c[i].textContent = ""; c[i].style.background = ""; }
    }
  });
  document.getElementById("with-results").textContent = withResults;
  document.querySelectorAll("details.file").forEach(function (d) {
    var self = 0n, rows = d.querySelector("tbody").rows, colours = [];
    for (var i = 0; i < rows.length; i++) {
      var s = f.sums.get(+rows[i].getAttribute("data-l"));
      if (s) self = W(self + s.self);
      colours.push(s ? [[s.hitsHeat, 0, 0, s.hitsHeat], [s.timeHeat, 0, 0, s.timeHeat]] : [null, null]);
    }
    d.querySelector(".file-self").textContent = ms(self);
    d.querySelector(".file-percent").textContent = pct(self, f.run);
    drawStrip(d.querySelector("canvas.strip"), colours);
  });
  var procRows = [];
  f.procedures.forEach(function (p) {
    var info = procs.get(p.scope) || { label: "(scope " + p.scope + ")", first: 0 };
    procRows.push(function (row) {
      var name = cell(row, "", undefined, "left");
      var a = document.createElement("a");
      a.href = "#L" + info.first;
      a.textContent = info.label;
      name.appendChild(a);
      cell(row, p.calls.toString(), p.calls.toString());
      cell(row, p.hits.toString(), p.hits.toString());
      cell(row, ms(p.self), p.self.toString());
      cell(row, pct(p.self, f.run), p.self.toString());
      cell(row, ms(p.total), p.total.toString());
      cell(row, pct(p.total, f.run), p.total.toString());
    });
  });
  fill(document.getElementById("procedures"), procRows);
  var hot = f.ids.filter(function (id) { return id >= 1 && id <= D.lines; });
  hot.sort(function (a, b) {
    var x = f.sums.get(a).self, y = f.sums.get(b).self;
    return x > y ? -1 : x < y ? 1 : 0;
  });
  fill(document.getElementById("hottest"), hot.slice(0, D.hottest).map(function (id) {
    var s = f.sums.get(id), scope = D.scopes[id], info = procs.get(scope);
    return function (row) {
      var place = cell(row, "", undefined, "left"), a = document.createElement("a");
      a.href = "#L" + id;
      a.textContent = placeOf(id);
      place.appendChild(a);
      cell(row, scope !== 0 && info ? info.label : "", undefined, "left");
      cell(row, s.hits.toString(), s.hits.toString());
      cell(row, ms(s.time), s.time.toString());
      cell(row, ms(s.self), s.self.toString());
      cell(row, pct(s.self, f.run), s.self.toString());
      cell(row, rowOf.get(id).cells[5].textContent.trim(), undefined, "code");
    };
  }));
}
boxes.forEach(function (b) { b.addEventListener("change", show); });
show();
followHash();
})();
)js";

void AppendCaret(std::string& out, unsigned char byte) {
    out += '^';
    out += static_cast<char>(byte ^ 0x40);
}

} // namespace

std::string HtmlText(std::string_view text) {
    const std::string utf8 = TextAsUtf8(text);
    std::string out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '&':
            out += "&amp;";
            continue;
        case '<':
            out += "&lt;";
            continue;
        case '>':
            out += "&gt;";
            continue;
        case '"':
            out += "&quot;";
            continue;
        case '\'':
            out += "&#39;";
            continue;
        case '\t':
            out += c;
            continue;
        default:
            break;
        }
        if (byte < 0x20 || byte == 0x7F) {
            AppendCaret(out, byte);
        } else {
            out += c;
        }
    }
    return out;
}

std::string ScriptJson(std::string_view json) {
    std::string out;
    out.reserve(json.size());
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '<') {
            out += "\\u003c";
        } else if (c == '>') {
            out += "\\u003e";
        } else if (c == '&') {
            out += "\\u0026";
        } else if (c == '\xE2' && i + 2 < json.size() && json[i + 1] == '\x80' &&
                   (json[i + 2] == '\xA8' || json[i + 2] == '\xA9')) {
            out += json[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string ExactJsonInteger(std::int64_t value) {
    constexpr std::int64_t kLargestExact = (std::int64_t{1} << 53) - 1;
    const std::string digits = std::to_string(value);
    if (value >= -kLargestExact && value <= kLargestExact) {
        return digits;
    }
    std::string quoted = "\"";
    quoted += digits;
    quoted += '"';
    return quoted;
}

void WritePageStart(HtmlWriter& out, std::string_view title) {
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<meta name=\"generator\" content=\"tickscope-report\">\n<title>";
    out.Text(title);
    out << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n";
}

void WriteDataStart(HtmlWriter& out) {
    out << "<script type=\"application/json\" id=\"tickscope-data\">";
}

void WritePageEnd(HtmlWriter& out) {
    out << "</script>\n<script>" << kScript << "</script>\n</body>\n</html>\n";
}

void WriteFact(HtmlWriter& out, std::string_view name, std::string_view value) {
    out << "<dt>" << name << "</dt><dd>";
    out.Text(value);
    out << "</dd>\n";
}

void WriteSortableTable(HtmlWriter& out, std::string_view id,
                        const std::vector<HtmlColumn>& columns, std::size_t sortedBy) {
    out << "<div class=\"scroll\"><table id=\"" << id << "\" class=\"data sortable\"";
    if (sortedBy < columns.size()) {
        out << " data-col=\"" << static_cast<std::int64_t>(sortedBy)
            << "\" data-dir=\"descending\"";
    }
    out << "><thead><tr>";
    for (std::size_t c = 0; c < columns.size(); ++c) {
        out << "<th" << (columns[c].Numeric ? " data-num" : " class=\"left\"")
            << (c == sortedBy ? " aria-sort=\"descending\"" : "") << ">" << columns[c].Title
            << "</th>";
    }
    out << "</tr></thead><tbody>\n";
}

std::string_view PathFileName(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string TimeTitle(TimeMode mode) {
    std::string title = mode == TimeMode::All ? "Total" : "Time ";
    if (mode != TimeMode::All) {
        title += TimeModeName(mode);
    }
    title += " (ms)";
    return title;
}

std::string HeatStyle(int red) {
    if (red < 0) {
        return {};
    }
    std::string style = "background:rgb(";
    style += std::to_string(red);
    style += ",0,0)";
    return style;
}

} // namespace tickscope
