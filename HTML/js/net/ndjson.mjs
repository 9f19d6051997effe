// Replies that stream one JSON object per line (the contents search, the test
// of the archive): read line by line as they arrive, and a run of one such
// request that can be stopped.

// The objects of an NDJSON body as they arrive; a line cut by the end of the
// body is dropped.
export async function* ndjsonLines(body) {
  const reader = body.getReader();
  const decoder = new TextDecoder();
  let pending = '';
  for (;;) {
    const { value, done } = await reader.read();
    if (done) break;
    pending += decoder.decode(value, { stream: true });
    let end;
    while ((end = pending.indexOf('\n')) >= 0) {
      const line = pending.slice(0, end);
      pending = pending.slice(end + 1);
      if (line) yield JSON.parse(line);
    }
  }
}

// One streamed request on its way: each object goes to onMessage, a failure to
// onFail (a refused request with the server's own words); stop() ends it, and
// the server stops when the reply is dropped. `failed(status)` words a refusal
// that came without text.
export class NdjsonRun {
  constructor({ onMessage, onFail, failed = (status) => `The request failed (${status}).`, fetch = (...args) => globalThis.fetch(...args) }) {
    Object.assign(this, { onMessage, onFail, failed, fetch });
    this.controller = null;
  }

  get running() { return this.controller !== null; }

  async start(url, headers = {}) {
    this.stop();
    const controller = new AbortController();
    this.controller = controller;
    try {
      const reply = await this.fetch(url, { signal: controller.signal, headers, cache: 'no-store' });
      if (!reply.ok) throw new Error((await reply.text()).trim() || this.failed(reply.status));
      for await (const message of ndjsonLines(reply.body)) {
        if (this.controller !== controller) return;
        this.onMessage(message);
      }
    } catch (error) {
      if (this.controller === controller && error.name !== 'AbortError') this.onFail(error);
    } finally {
      if (this.controller === controller) this.controller = null;
    }
  }

  stop() {
    if (!this.controller) return;
    const controller = this.controller;
    this.controller = null;
    controller.abort();
  }
}
