// The service's own page: every device entry with its live state, buttons to try each device,
// and an event log. It talks to the service only through opos.js, as a web till would.
import { connect } from "/opos.js";

const STATUS_TEXT = {
  POSPrinter: { 11: "Cover open", 12: "Cover closed", 24: "Paper out", 25: "Paper near end",
                26: "Paper OK" },
  CashDrawer: { 0: "Drawer closed", 1: "Drawer open" },
  LineDisplay: {},
};
const POWER_TEXT = { 2000: "Unknown", 2001: "Online", 2002: "Off", 2003: "Offline",
                     2004: "Off or offline" };
const COMMON_STATUS = { 2001: "Power online", 2002: "Power off", 2003: "Power offline",
                        2004: "Power off or offline" };
const RESULT_TEXT = { 0: "success", 101: "closed", 102: "claimed by another", 103: "not claimed",
                      104: "no service", 105: "disabled", 106: "illegal", 107: "no hardware",
                      108: "offline", 109: "no such device", 111: "failure", 112: "timed out",
                      114: "extended" };
const EXTENDED_TEXT = { 201: "cover open", 203: "paper out", 204: "slip empty" };

const FIELDS = {
  POSPrinter: [["claimed", "Claimed"], ["power", "Power"], ["cover", "Cover"], ["paper", "Paper"]],
  CashDrawer: [["claimed", "Claimed"], ["power", "Power"], ["drawer", "Drawer"]],
  LineDisplay: [["claimed", "Claimed"], ["power", "Power"], ["display", "Display"]],
};

const ESC = "\x1b";
function testReceipt() {
  const now = new Date();
  const stamp = now.toISOString().replace("T", " ").slice(0, 19);
  return `${ESC}|cA${ESC}|bC${ESC}|2COPOS device service\n` +
         `${ESC}|cATest receipt\n\n` +
         `Printed from the service page\n${stamp} UTC\n` +
         `${ESC}|cA------------------------------------------\n` +
         `Test item                          1.00\n` +
         `${ESC}|bCTotal                              1.00\n\n`;
}

const state = { client: null, cards: new Map() };

function $(id) { return document.getElementById(id); }

function setConnection(text, kind) {
  const pill = $("connection");
  pill.textContent = text;
  pill.className = `pill pill-${kind}`;
}

function describeResult(code) {
  return RESULT_TEXT[code] ? `${code} (${RESULT_TEXT[code]})` : String(code);
}

function logEvent(deviceName, type, details, extra) {
  const row = document.createElement("tr");
  row.className = "fresh";
  row.dataset.type = type;
  row.dataset.device = deviceName;
  const time = new Date().toTimeString().slice(0, 8);
  for (const text of [time, deviceName, type, details]) {
    const cell = document.createElement("td");
    cell.textContent = text;
    row.appendChild(cell);
  }
  if (extra) row.lastChild.append(" ", extra);
  $("log").prepend(row);
  while ($("log").rows.length > 200) $("log").deleteRow(-1);
  $("log-empty").hidden = true;
}

function setField(card, field, text, tone) {
  const value = card.element.querySelector(`dd[data-field="${field}"]`);
  if (!value) return;
  if (field === "display") {
    value.firstChild.textContent = text;
    return;
  }
  value.textContent = text;
  value.className = tone ?? "";
}

function showProblem(card, text) {
  const problem = card.element.querySelector(".problem");
  problem.textContent = text ?? "";
  problem.hidden = !text;
}

async function refresh(card) {
  const device = card.device;
  const claimed = await device.get("Claimed");
  card.claimed = claimed;
  const pill = card.element.querySelector(".claim-pill");
  pill.textContent = claimed ? "Claimed" : "Not claimed";
  pill.className = `pill claim-pill ${claimed ? "pill-ok" : ""}`;
  setField(card, "claimed", claimed ? "Yes, by this page" : "No", claimed ? "good" : "unknown");
  for (const button of card.element.querySelectorAll("button[data-needs-claim]")) {
    button.disabled = !claimed;
  }
  const claimButton = card.element.querySelector('button[data-action="claim"]');
  claimButton.textContent = claimed ? "Release" : "Claim";
  claimButton.className = claimed ? "" : "primary";
  if (!claimed) {
    for (const field of ["power", "cover", "paper", "drawer"]) setField(card, field, "—", "unknown");
    return;
  }
  const power = await device.get("PowerState");
  setField(card, "power", POWER_TEXT[power] ?? String(power),
           power === 2001 ? "good" : power === 2000 ? "unknown" : "bad");
  if (card.entry.class === "POSPrinter") {
    const cover = await device.get("CoverOpen");
    setField(card, "cover", cover ? "Open" : "Closed", cover ? "bad" : "good");
    const empty = await device.get("RecEmpty");
    const nearEnd = await device.get("RecNearEnd");
    setField(card, "paper", empty ? "Out" : nearEnd ? "Near end" : "OK",
             empty ? "bad" : nearEnd ? "warn" : "good");
  } else if (card.entry.class === "CashDrawer") {
    const open = await device.get("DrawerOpened");
    setField(card, "drawer", open ? "Open" : "Closed", open ? "warn" : "good");
  }
}

async function act(card, action) {
  const device = card.device;
  showProblem(card, null);
  try {
    if (action === "claim") {
      if (card.claimed) {
        await device.set("DeviceEnabled", false);
        const { result } = await device.call("ReleaseDevice");
        if (result !== 0) throw new Error(`Release returned ${describeResult(result)}`);
      } else {
        await device.set("PowerNotify", 1).catch(() => {});
        const { result } = await device.call("ClaimDevice", 3000);
        if (result !== 0) throw new Error(`Claim returned ${describeResult(result)}`);
        await device.set("DeviceEnabled", true);
        if (card.entry.class === "POSPrinter") await device.set("AsyncMode", true);
      }
    } else if (action === "print") {
      const { result } = await device.call("PrintNormal", 2, testReceipt());
      if (result !== 0) throw new Error(`PrintNormal returned ${describeResult(result)}`);
      const cut = await device.call("CutPaper", 90);
      if (cut.result !== 0) throw new Error(`CutPaper returned ${describeResult(cut.result)}`);
    } else if (action === "cut") {
      const { result } = await device.call("CutPaper", 100);
      if (result !== 0) throw new Error(`CutPaper returned ${describeResult(result)}`);
    } else if (action === "drawer") {
      const { result } = await device.call("OpenDrawer");
      if (result !== 0) throw new Error(`OpenDrawer returned ${describeResult(result)}`);
    } else if (action === "show") {
      const input = card.element.querySelector("input");
      const text = input.value.slice(0, 20);
      const { result } = await device.call("DisplayTextAt", 0, 0, text.padEnd(20), 0);
      if (result !== 0) throw new Error(`DisplayTextAt returned ${describeResult(result)}`);
      card.displayLines[0] = text.padEnd(20);
      setField(card, "display", card.displayLines.join("\n"));
    }
  } catch (error) {
    showProblem(card, error.message);
    logEvent(card.entry.name, "Problem", error.message);
  }
  await refresh(card).catch(() => {});
}

function button(label, action, needsClaim, primary) {
  const element = document.createElement("button");
  element.type = "button";
  element.textContent = label;
  element.dataset.action = action;
  if (needsClaim) {
    element.dataset.needsClaim = "";
    element.disabled = true;
  }
  if (primary) element.className = "primary";
  return element;
}

function buildCard(entry, device) {
  const element = $("device-card").content.firstElementChild.cloneNode(true);
  element.dataset.device = entry.name;
  element.dataset.class = entry.class;
  element.querySelector(".name").textContent = entry.name;
  element.querySelector(".meta").textContent =
    `${entry.class} · ${entry.service || "no service"} · key ${entry.key}`;
  const list = element.querySelector(".state");
  for (const [field, label] of FIELDS[entry.class]) {
    const term = document.createElement("dt");
    term.textContent = label;
    const value = document.createElement("dd");
    value.dataset.field = field;
    if (field === "display") {
      const screen = document.createElement("div");
      screen.className = "display-text";
      screen.textContent = " ".repeat(20) + "\n" + " ".repeat(20);
      value.appendChild(screen);
    } else {
      value.textContent = "—";
      value.className = "unknown";
    }
    list.append(term, value);
  }
  const actions = element.querySelector(".actions");
  actions.appendChild(button("Claim", "claim", false, true));
  if (entry.class === "POSPrinter") {
    actions.append(button("Print test receipt", "print", true), button("Cut", "cut", true));
  } else if (entry.class === "CashDrawer") {
    actions.append(button("Open drawer", "drawer", true));
  } else if (entry.class === "LineDisplay") {
    const line = document.createElement("div");
    line.className = "line";
    const input = document.createElement("input");
    input.maxLength = 20;
    input.value = "Welcome";
    input.setAttribute("aria-label", "Text for the display");
    line.append(input, button("Show on display", "show", true));
    actions.appendChild(line);
  }
  const card = { entry, device, element, claimed: false,
                 displayLines: [" ".repeat(20), " ".repeat(20)] };
  actions.addEventListener("click", (event) => {
    const action = event.target.dataset?.action;
    if (action) act(card, action);
  });
  device.on("*", (event) => onEvent(card, event));
  return card;
}

function errorAnswerButtons(card, event) {
  const span = document.createElement("span");
  for (const [label, response] of [["Retry", 11], ["Clear", 12]]) {
    const answer = document.createElement("button");
    answer.type = "button";
    answer.className = "quiet";
    answer.textContent = label;
    answer.addEventListener("click", async () => {
      span.textContent = "";
      try {
        await card.device.answerError(response);
        span.textContent = `answered ${label.toLowerCase()}`;
      } catch (error) {
        span.textContent = error.message;
      }
    });
    span.appendChild(answer);
  }
  return span;
}

function onEvent(card, event) {
  const name = card.entry.name;
  if (event.type === "StatusUpdate") {
    const text = STATUS_TEXT[card.entry.class][event.data] ?? COMMON_STATUS[event.data] ??
      `status ${event.data}`;
    logEvent(name, "StatusUpdate", `${text} (${event.data})`);
    refresh(card).catch(() => {});
  } else if (event.type === "OutputComplete") {
    logEvent(name, "OutputComplete", `Output ${event.outputId} printed`);
  } else if (event.type === "Error") {
    const extended = EXTENDED_TEXT[event.resultCodeExtended];
    logEvent(name, "Error",
      `${describeResult(event.resultCode)}, extended ${event.resultCodeExtended}` +
      `${extended ? ` (${extended})` : ""}, locus ${event.errorLocus}; ` +
      `proposal ${event.errorResponse === 11 ? "retry" : event.errorResponse}`,
      errorAnswerButtons(card, event));
    refresh(card).catch(() => {});
  } else if (event.type === "DirectIO") {
    logEvent(name, "DirectIO", `event ${event.eventNumber}, data ${event.data}`);
  }
}

async function start(token) {
  $("token-panel").hidden = true;
  setConnection("Connecting…", "idle");
  let client;
  try {
    client = await connect(undefined, token);
  } catch (error) {
    sessionStorage.removeItem("oposToken");
    setConnection("Not connected", "bad");
    $("token-panel").hidden = false;
    $("token-problem").textContent = "The service refused the connection: check the token.";
    $("token-problem").hidden = false;
    return;
  }
  sessionStorage.setItem("oposToken", token);
  state.client = client;
  setConnection("Connected", "ok");
  client.on("close", () => {
    setConnection("Disconnected", "bad");
    for (const card of state.cards.values()) {
      for (const b of card.element.querySelectorAll("button")) b.disabled = true;
    }
  });
  const entries = await client.list();
  const container = $("devices");
  container.textContent = "";
  if (entries.length === 0) {
    container.innerHTML = '<p class="empty">The registry store has no device entries.</p>';
  }
  for (const entry of entries) {
    try {
      const device = await client.open(entry.name, entry.class);
      const card = buildCard(entry, device);
      state.cards.set(device.handle, card);
      container.appendChild(card.element);
      await refresh(card);
    } catch (error) {
      logEvent(entry.name, "Problem", error.message);
    }
  }
  // Conditions without an event of their own (a drawer closed by hand) show up here.
  setInterval(() => {
    for (const card of state.cards.values()) if (card.claimed) refresh(card).catch(() => {});
  }, 2000);
}

function tokenFromAddress() {
  // The token travels in the fragment, which the browser never sends to a server; it is
  // taken out of the address bar at once.
  const match = location.hash.match(/token=([^&]+)/);
  if (!match) return null;
  history.replaceState(null, "", location.pathname);
  return decodeURIComponent(match[1]);
}

$("token-form").addEventListener("submit", (event) => {
  event.preventDefault();
  const token = $("token-input").value.trim();
  $("token-input").value = "";
  if (token) start(token);
});
$("clear-log").addEventListener("click", () => {
  $("log").textContent = "";
  $("log-empty").hidden = false;
});

const token = tokenFromAddress() ?? sessionStorage.getItem("oposToken");
if (token) start(token);
else $("token-panel").hidden = false;
