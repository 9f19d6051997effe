// Choices that the page keeps for the next visit, where the browser lets it.

export function loadPref(key, fallback) {
  try { return localStorage.getItem('vorsel.' + key) ?? fallback; } catch { return fallback; }
}

export function savePref(key, value) {
  try { localStorage.setItem('vorsel.' + key, value); } catch { /* storage off */ }
}
