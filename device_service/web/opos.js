// opos.js: the JavaScript client of the OPOS device service (oposd). An ES module with no
// dependencies; import it from the service (http://127.0.0.1:8799/opos.js) or copy it.
//
//   import { connect } from "http://127.0.0.1:8799/opos.js";
//   const opos = await connect("ws://127.0.0.1:8799/ws", token);
//   const printer = await opos.open("Receipt1");
//   printer.on("OutputComplete", (e) => console.log("printed", e.outputId));
//   await printer.call("ClaimDevice", 1000);
//   await printer.set("DeviceEnabled", true);
//   await printer.call("PrintNormal", 2, "Hello\n");
//
// Strings carry bytes: the characters U+0000 to U+00FF stand for the bytes 0x00 to 0xFF.

/** A JSON-RPC error answer: `code`, `message` and the service's `data`. */
export class OposError extends Error {
  constructor(error) {
    super(error.message);
    this.name = "OposError";
    this.code = error.code;
    this.data = error.data;
  }
}

class Listeners {
  constructor() { this.map = new Map(); }
  add(type, handler) {
    if (!this.map.has(type)) this.map.set(type, new Set());
    this.map.get(type).add(handler);
    return () => this.map.get(type).delete(handler);
  }
  emit(type, value) {
    for (const key of [type, "*"]) {
      for (const handler of this.map.get(key) ?? []) {
        try { handler(value); } catch (error) { console.error(error); }
      }
    }
  }
}

/** One opened device. Every method returns a promise. */
export class Device {
  constructor(client, handle, name) {
    this.client = client;
    this.handle = handle;
    this.name = name;
    this.listeners = new Listeners();
  }
  /** Calls an OPOS method by name; resolves to {result, out}. */
  call(method, ...args) {
    return this.client.request("call", { handle: this.handle, method, args });
  }
  /** Reads a property by its OPOS name (numbers, booleans, strings). */
  get(property) {
    return this.client.request("get", { handle: this.handle, property });
  }
  /** Writes a property by its OPOS name. */
  set(property, value) {
    return this.client.request("set", { handle: this.handle, property, value });
  }
  /** Answers an Error event: 11 retry, 12 clear. Without an answer within 30 s the
   *  service object's proposal stands. */
  answerError(response) {
    return this.client.request("answerError", { handle: this.handle, response });
  }
  /** Events of this device: "StatusUpdate", "OutputComplete", "Error", "DirectIO" or "*".
   *  Returns a function that removes the handler. */
  on(type, handler) { return this.listeners.add(type, handler); }
  /** Releases (when claimed) and closes the device; resolves to the result code. */
  async close() {
    const result = await this.client.request("close", { handle: this.handle });
    this.client.devices.delete(this.handle);
    return result;
  }
}

/** A connection to the service. */
export class Client {
  constructor(socket) {
    this.socket = socket;
    this.nextId = 1;
    this.pending = new Map();
    this.devices = new Map();
    this.listeners = new Listeners();
    socket.addEventListener("message", (message) => this.receive(message.data));
    socket.addEventListener("close", (event) => {
      for (const { reject } of this.pending.values()) {
        reject(new OposError({ code: 0, message: "the connection closed" }));
      }
      this.pending.clear();
      this.listeners.emit("close", { code: event.code, reason: event.reason });
    });
  }

  /** Sends one JSON-RPC request; resolves to its result, rejects with an OposError. */
  request(method, params) {
    if (this.socket.readyState !== WebSocket.OPEN) {
      return Promise.reject(new OposError({ code: 0, message: "not connected" }));
    }
    const id = this.nextId++;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject });
      this.socket.send(JSON.stringify({ jsonrpc: "2.0", id, method, params }));
    });
  }

  receive(text) {
    let message;
    try { message = JSON.parse(text); } catch { return; }
    if (message.method === "event") {
      const event = message.params;
      const device = this.devices.get(event.handle);
      if (device) device.listeners.emit(event.type, event);
      this.listeners.emit(event.type, event);
      return;
    }
    const waiting = this.pending.get(message.id);
    if (!waiting) return;
    this.pending.delete(message.id);
    if (message.error) waiting.reject(new OposError(message.error));
    else waiting.resolve(message.result);
  }

  /** The device entries: [{name, class, service, key, logicalNames}]. */
  list() { return this.request("list", {}); }

  /** Opens a device by logical name (and class, when two classes share the name). */
  async open(name, deviceClass) {
    const params = deviceClass ? { name, class: deviceClass } : { name };
    const { handle } = await this.request("open", params);
    const device = new Device(this, handle, name);
    this.devices.set(handle, device);
    return device;
  }

  /** Events of every device ("*" for all types), and "close" when the connection ends. */
  on(type, handler) { return this.listeners.add(type, handler); }

  /** Ends the connection; the service releases and closes every device it opened. */
  close() { this.socket.close(1000); }
}

/** Connects to the service. `url` defaults to this page's own service; the token is sent in
 *  the query, as a browser cannot set an Authorization header on a WebSocket. */
export function connect(url, token) {
  if (!url) {
    const scheme = globalThis.location?.protocol === "https:" ? "wss:" : "ws:";
    url = `${scheme}//${globalThis.location.host}/ws`;
  }
  const target = new URL(url);
  if (token) target.searchParams.set("token", token);
  const socket = new WebSocket(target.toString());
  return new Promise((resolve, reject) => {
    const fail = () => reject(new OposError({
      code: 0, message: "cannot connect (is the service running, the token right, this origin allowed?)",
    }));
    socket.addEventListener("error", fail, { once: true });
    socket.addEventListener("open", () => {
      socket.removeEventListener("error", fail);
      resolve(new Client(socket));
    }, { once: true });
  });
}
