"use strict";

// The fleet page: the projectors from /api/projectors, kept live by /api/events, and presses back
// through the API once a token is given. Nothing is fetched from anywhere but the console itself.

const PowerWords = {
  on: "on", warming: "warming up", cooling: "cooling down", standby: "standby",
  fault: "fault", unknown: "unknown", unreachable: "unreachable",
};
const Presses = [
  ["power_on", "Power on"], ["power_off", "Power off"],
  ["input_pc1", "PC1"], ["input_pc2", "PC2"], ["input_video", "Video"],
];
const GroupPresses = [["power_on", "Power on all"], ["power_off", "Power off all"]];
const TokenKey = "tavo-console-token";
// Changes told by events are fetched together, this often.
const FetchPause = 200;
// A projector changed this many at once is fetched with the whole fleet.
const WholeFleetAfter = 20;
const ReconnectPause = 2000;

const fleet = new Map();
const cards = new Map();
const dirty = new Set();
let token = sessionStorage.getItem(TokenKey) || "";
let fetchTimer = null;
let events = null;

const $ = (id) => document.getElementById(id);

function say(text) {
  $("notice").textContent = text;
}

function setLive(text, lost) {
  $("live").textContent = text;
  $("live").classList.toggle("lost", lost);
}

function pressLabel(key) {
  const found = Presses.find(([k]) => k === key);
  return found ? found[1] : key;
}

function age(lastReply) {
  if (!lastReply) return "never";
  const seconds = Math.max(0, Math.round((Date.now() - Date.parse(lastReply)) / 1000));
  if (seconds < 120) return `${seconds} s ago`;
  if (seconds < 7200) return `${Math.round(seconds / 60)} min ago`;
  return `${Math.round(seconds / 3600)} h ago`;
}

function temperatures(values) {
  const list = values.temperatures;
  if (!Array.isArray(list)) return "—";
  return list.map((t) => t.toFixed(1)).join(" / ") + " °C";
}

function button(label, name, onPress) {
  const b = document.createElement("button");
  b.type = "button";
  b.textContent = label;
  b.setAttribute("aria-label", `${label}: ${name}`);
  b.addEventListener("click", onPress);
  return b;
}

async function post(path, what) {
  say("");
  try {
    const response = await fetch(path, {
      method: "POST",
      headers: { Authorization: `Bearer ${token}`, "Content-Type": "application/json" },
      body: "{}",
    });
    const answer = await response.json().catch(() => ({}));
    if (!response.ok) {
      say(`${what}: ${answer.error || response.statusText}`);
      if (response.status === 401) forgetToken();
      return;
    }
    if (answer.pending) say(`${what}: held until the projector settles`);
    else if (answer.already) say(`${what}: nothing to send, already ${answer.already}`);
    else say(`${what}: sent`);
  } catch (error) {
    say(`${what}: the console did not answer`);
  }
}

function pressProjector(name, key) {
  post(`/api/projectors/${encodeURIComponent(name)}/press/${key}`, `${pressLabel(key)} on ${name}`);
}

function pressGroup(group, key, label) {
  if (key === "power_off" && !confirm(`Power off every projector of ${group}?`)) return;
  post(`/api/groups/${encodeURIComponent(group)}/press/${key}`, `${label} in ${group}`);
}

// A lent line's words, its age kept fresh like the last reply's.
function lentText(lent) {
  return lent ? `lent to ${lent.to}, ${age(lent.since)}` : "";
}

function fillCard(card, p) {
  card.querySelector(".name").textContent = p.name;
  const power = card.querySelector(".power");
  power.textContent = PowerWords[p.power] || p.power;
  power.className = `power power-${p.power}`;
  const values = p.values || {};
  card.querySelector(".input").textContent = values.input ?? "—";
  card.querySelector(".lamp").textContent = values.lamp_hours == null ? "—" : `${values.lamp_hours} h`;
  card.querySelector(".temperatures").textContent = temperatures(values);
  card.querySelector(".line").textContent = p.connected ? "connected" : "not connected";
  card.querySelector(".age").textContent = age(p.last_reply);
  const pending = card.querySelector(".pending");
  pending.hidden = !p.pending;
  pending.textContent = p.pending ? `Pending: ${pressLabel(p.pending)}` : "";
  const lent = card.querySelector(".lent");
  lent.hidden = !p.lent;
  lent.textContent = lentText(p.lent);
  const presses = card.querySelector(".presses");
  presses.replaceChildren(
    ...(token ? Presses.map(([key, label]) => button(label, p.name, () => pressProjector(p.name, key))) : []));
  // The console refuses every press while another console has the line.
  for (const b of presses.children) b.disabled = Boolean(p.lent);
  card.dataset.search = `${p.name} ${p.group || ""} ${p.power}${p.lent ? " lent" : ""}`.toLowerCase();
}

function render() {
  const groups = new Map();
  for (const p of [...fleet.values()].sort((a, b) => a.name.localeCompare(b.name))) {
    const group = p.group || "";
    if (!groups.has(group)) groups.set(group, []);
    groups.get(group).push(p);
  }
  const names = [...groups.keys()].sort((a, b) => (a === "") - (b === "") || a.localeCompare(b));
  cards.clear();
  const sections = names.map((group) => {
    const section = $("group-template").content.firstElementChild.cloneNode(true);
    section.querySelector("h2").textContent = group || "No group";
    if (group && token)
      section.querySelector(".group-presses").replaceChildren(
        ...GroupPresses.map(([key, label]) => button(label, group, () => pressGroup(group, key, label))));
    section.querySelector(".cards").replaceChildren(...groups.get(group).map((p) => {
      const card = $("card-template").content.firstElementChild.cloneNode(true);
      fillCard(card, p);
      cards.set(p.name, card);
      return card;
    }));
    return section;
  });
  $("fleet").replaceChildren(...sections);
  applyFilter();
}

function applyFilter() {
  const words = $("filter").value.trim().toLowerCase().split(/\s+/).filter(Boolean);
  for (const card of cards.values())
    card.classList.toggle("hidden", !words.every((w) => card.dataset.search.includes(w)));
  for (const section of $("fleet").children)
    section.classList.toggle("hidden", !section.querySelector(".card:not(.hidden)"));
}

async function loadFleet() {
  const response = await fetch("/api/projectors");
  if (!response.ok) throw new Error(response.statusText);
  const answer = await response.json();
  fleet.clear();
  for (const p of answer.projectors) fleet.set(p.name, p);
  render();
}

async function loadProjector(name) {
  const response = await fetch(`/api/projectors/${encodeURIComponent(name)}`);
  if (response.status === 404) {
    fleet.delete(name);
    render();
    return;
  }
  if (!response.ok) return;
  const p = await response.json();
  const known = fleet.get(name);
  fleet.set(name, p);
  const card = cards.get(name);
  if (known && card && (known.group || "") === (p.group || "")) fillCard(card, p);
  else render();
  applyFilter();
}

async function fetchDirty() {
  fetchTimer = null;
  const names = [...dirty];
  dirty.clear();
  try {
    if (names.length > WholeFleetAfter) await loadFleet();
    else await Promise.all(names.map(loadProjector));
  } catch (error) {
    // The event stream tells when the console is gone.
  }
}

function changed(name) {
  dirty.add(name);
  if (!fetchTimer) fetchTimer = setTimeout(fetchDirty, FetchPause);
}

function listen() {
  events = new EventSource("/api/events");
  events.addEventListener("open", () => {
    setLive("Live", false);
    // After a restart the fleet may have changed while the page waited.
    loadFleet().catch(() => setLive("The console did not give its projectors", true));
  });
  events.addEventListener("message", (message) => {
    let event;
    try {
      event = JSON.parse(message.data);
    } catch (error) {
      return;
    }
    if (typeof event.projector === "string") changed(event.projector);
  });
  events.addEventListener("error", () => {
    setLive("Connection to the console lost; reconnecting…", true);
    if (events.readyState === EventSource.CLOSED) {
      events = null;
      setTimeout(listen, ReconnectPause);
    }
  });
}

function useToken(given) {
  token = given;
  if (token) sessionStorage.setItem(TokenKey, token);
  else sessionStorage.removeItem(TokenKey);
  $("token").value = "";
  $("token-forget").hidden = !token;
  render();
}

function forgetToken() {
  useToken("");
}

function tick() {
  for (const [name, card] of cards) {
    const p = fleet.get(name);
    if (!p) continue;
    card.querySelector(".age").textContent = age(p.last_reply);
    card.querySelector(".lent").textContent = lentText(p.lent);
  }
}

document.addEventListener("DOMContentLoaded", () => {
  $("filter").addEventListener("input", applyFilter);
  $("token-form").addEventListener("submit", (submit) => {
    submit.preventDefault();
    useToken($("token").value.trim());
    say(token ? "Presses allowed for this browser session" : "");
  });
  $("token-forget").addEventListener("click", forgetToken);
  $("token-forget").hidden = !token;
  listen();
  setInterval(tick, 1000);
});
