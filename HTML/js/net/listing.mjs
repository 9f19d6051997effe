// Loading the archive's listing: first the one with sizes and dates, then, from a
// server that does not send that one, the names alone.
import { LISTING_URL } from '../model/places.mjs';
import { buildTree } from '../model/tree.mjs';

export const DETAILS_URL = LISTING_URL + '?details';

// The tree that a reply holds, or an error that says in plain words why not.
async function treeOf(fetch, url) {
  let response;
  try {
    response = await fetch(url, { cache: 'no-store' });
  } catch {
    throw new Error('Vorsel did not answer. Is it still running?');
  }
  if (!response.ok) throw new Error(`The server answered with status ${response.status}.`);
  const text = await response.text();
  performance.mark('vorsel:listing-received');
  let json;
  try { json = JSON.parse(text); } catch { throw new Error('The listing that the server sent is not valid JSON.'); }
  const tree = buildTree(json);
  performance.mark('vorsel:listing-built');
  return tree;
}

// The tree (see buildTree), or an error that says why there is none.
export async function loadListing(fetch = globalThis.fetch.bind(globalThis)) {
  try {
    return await treeOf(fetch, DETAILS_URL);
  } catch {
    performance.clearMarks('vorsel:listing-received');
    return treeOf(fetch, LISTING_URL);
  }
}
