"use strict";
(function () {
  var PAGE = 500;
  function hex(n, d) {
    var s = Math.abs(n).toString(16).toUpperCase();
    while (s.length < d) s = "0" + s;
    return s;
  }
  function shown(data, kind, v) {
    if (v === null) return "";
    if (kind === "type") return data.types[v];
    if (kind === "place") return hex(v[0], 4) + ":" + hex(v[1], 4);
    if (kind === "delta") return (v < 0 ? "-" : "+") + hex(v, 4);
    if (kind === "hex") return hex(v, 4);
    return String(v);
  }
  function sortKey(data, kind, v) {
    if (v === null) return kind === "text" ? "" : -1;
    if (kind === "type") return data.types[v];
    if (kind === "delta") return Math.abs(v);
    // Selector, then address: both fit one number exactly (48 bits of 53).
    if (kind === "place") return v[0] * 4294967296 + v[1];
    if (kind === "text") return String(v).toLowerCase();
    return v;
  }
  // A search given in the page's address; one that is not valid percent-encoding ("%", "%zz")
  // is taken as written rather than stopping the script.
  function decoded(text) {
    try { return decodeURIComponent(text); } catch (e) { return text; }
  }
  function table(box) {
    var data = null, order = null, rows = null, start = 0, col = -1, desc = false;
    var body = box.querySelector("tbody"), heads = box.querySelectorAll("thead th");
    var input = box.querySelector("input"), status = box.querySelector(".status");
    var prev = box.querySelector(".prev"), next = box.querySelector(".next");
    function load() {
      if (data) return;
      data = JSON.parse(document.getElementById(box.getAttribute("data-rows")).textContent);
      col = data.sort;
      desc = data.descending;
      order = data.rows.map(function (r, i) { return i; });
      rows = order;
    }
    function filter() {
      var q = input.value.toLowerCase(), c = data.search;
      rows = q === "" ? order : order.filter(function (i) {
        var v = data.rows[i][c];
        return v !== null && String(v).toLowerCase().indexOf(q) >= 0;
      });
      start = 0;
    }
    function sortBy(c) {
      if (c === col) desc = !desc;
      else { col = c; desc = data.columns[c] === "delta"; }
      var kind = data.columns[c];
      var keys = data.rows.map(function (r) { return sortKey(data, kind, r[c]); });
      order = data.rows.map(function (r, i) { return i; });
      order.sort(function (a, b) {
        var d = keys[a] < keys[b] ? -1 : keys[a] > keys[b] ? 1 : 0;
        return desc ? -d : d;
      });
      filter();
    }
    function render() {
      var end = Math.min(start + PAGE, rows.length), part = document.createDocumentFragment();
      for (var k = start; k < end; k++) {
        var r = data.rows[rows[k]], tr = document.createElement("tr");
        for (var c = 0; c < data.columns.length; c++) {
          var td = document.createElement("td");
          td.textContent = shown(data, data.columns[c], r[c]);
          if (data.columns[c] !== "text" && data.columns[c] !== "type") td.className = "n";
          tr.appendChild(td);
        }
        part.appendChild(tr);
      }
      body.textContent = "";
      body.appendChild(part);
      status.textContent = rows.length === 0 ? "no row matches"
        : "rows " + (start + 1) + " to " + end + " of " + rows.length;
      prev.disabled = start === 0;
      next.disabled = end >= rows.length;
      for (var h = 0; h < heads.length; h++)
        heads[h].setAttribute("aria-sort", h === col ? (desc ? "descending" : "ascending") : "none");
    }
    input.addEventListener("input", function () { load(); filter(); render(); });
    prev.addEventListener("click", function () { load(); start = Math.max(0, start - PAGE); render(); });
    next.addEventListener("click", function () { load(); start += PAGE; render(); });
    heads.forEach(function (head, c) {
      head.querySelector("button").addEventListener("click", function () { load(); sortBy(c); render(); });
    });
    var asked = /[#&]search=([^&]*)/.exec(location.hash);
    if (asked) { input.value = decoded(asked[1]); load(); filter(); render(); }
  }
  function strip(svg) {
    var out = document.getElementById(svg.getAttribute("data-detail"));
    function detail(e) {
      var t = e.target.firstChild;
      if (t && t.nodeName === "title") out.textContent = t.textContent;
    }
    svg.addEventListener("mouseover", detail);
    svg.addEventListener("focusin", detail);
  }
  document.querySelectorAll("div.table").forEach(table);
  document.querySelectorAll("svg[data-detail]").forEach(strip);
})();
